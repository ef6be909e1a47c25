// kgfconv convert: converts files, or the files below folders, into the
// output folder, on several threads.
#include "cli/kgfconv_convert.h"

#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_jobs.h"
#include "cli/kgfconv_output.h"
#include "cli/kgfconv_quality_flags.h"
#include "cli/kgfconv_tree.h"
#include "convert/batch_plan.h"
#include "convert/convert.h"
#include "convert/output_names.h"
#include "formats/byte_reader.h"
#include "platform/files.h"
#include "settings/conversion_settings.h"
#include "settings/setting_fields.h"
#include "settings/settings.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

file_type type_named(const std::string& type) {
    if (type == "kaf")
        return file_type::kaf;
    if (type == "kgf")
        return file_type::kgf;
    if (type == "tga")
        return file_type::tga;
    if (type == "png")
        return file_type::png;
    return file_type::none;
}

// The stored settings with the options given on the command line.
conversion_options batch_options(const convert_options& options) {
    conversion_options result = options_from_settings(settings);
    if (options.levels >= 0)
        result.num_mipmaps = static_cast<uint8_t>(options.levels);
    if (options.bpp >= 0)
        result.bpp = static_cast<uint8_t>(options.bpp);
    if (options.mipmaps >= 0)
        result.kgf_levels_read =
            options.mipmaps != 0 ? kgf_levels::from_file : kgf_levels::first_only;
    if (options.suffix_given)
        std::snprintf(result.suffix, sizeof result.suffix, "%s", options.suffix.c_str());
    result.quality =
        chosen_quality(result.quality, options.dither, options.srgb_mips, options.alpha_mips);
    // Nobody is asked: --yes writes a name the game cannot read.
    result.long_names = options.yes ? long_name_answer::write : long_name_answer::refuse;
    return result;
}

// The output folder in its 256-byte text, ending in a separator.
bool output_folder_text(const convert_options& options, char (&folder)[path_bytes]) {
    const std::string chosen = options.output_dir_given ? options.output_dir : settings.output_dir;
    const std::string given = chosen.empty() ? std::string(1, '.') : chosen;
    const std::string with_separator = folder_with_separator(given);
    if (with_separator.size() + 1 <= static_cast<size_t>(path_bytes)) {
        std::snprintf(folder, sizeof folder, "%s", with_separator.c_str());
        return true;
    }
    file_status(kgf_status::path_too_long, given.c_str());
    return false;
}

void refuse_kaf_output() {
    print_file_message("", "Sorry, but you cannot create KAFs (animations) with this version.");
    // convert writes no animation; pack does, from frames.
    print_file_message("", "to write an animation of frames, use kgfconv pack (see kgfconv "
                           "pack --help)");
}

int default_jobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

namespace {

std::vector<batch_input> inputs_of(const convert_list& list) {
    std::vector<batch_input> inputs;
    inputs.reserve(list.items.size());
    for (const convert_item& item : list.items) {
        batch_input input;
        input.path = item.input;
        input.type = item.type;
        input.output_dir = item.output_dir;
        if (item.is_folder)
            input.state = input_state::folder;
        else if (!item.unreadable.empty())
            input.state = input_state::unreadable;
        else if (item.missing)
            input.state = input_state::missing;
        input.reason = item.unreadable;
        inputs.push_back(std::move(input));
    }
    return inputs;
}

} // namespace

batch_plan plan_items(const convert_list& list, file_type to) {
    return plan_batch(inputs_of(list), to);
}

int convert_items(const batch_plan& batch_jobs, const conversion_options& batch, run_inputs& inputs,
                  int threads, const convert_batch_hooks& hooks) {
    const int count = static_cast<int>(batch_jobs.jobs.size());
    // What killed runs left half-written goes first.
    for (const std::string& folder : batch_jobs.output_folders)
        remove_stale_temporaries(folder.c_str());

    job_plan plan;
    plan.count = count;
    plan.threads = threads;
    plan.must_wait = [&](int index) {
        return batch_jobs.jobs[static_cast<size_t>(index)].after_earlier ? 1 : 0;
    };
    plan.file_of = [&](int index) { return batch_jobs.jobs[static_cast<size_t>(index)].input; };
    plan.run = &inputs;

    const auto convert_one = [&](int index, output_journal* journal) {
        job_outcome outcome;
        const batch_job& job = batch_jobs.jobs[static_cast<size_t>(index)];
        switch (job.verdict) {
        case job_verdict::is_folder:
            file_message("Is a folder; -r converts the files below it");
            return outcome;
        case job_verdict::unreadable:
            file_message("Cannot open " + job.input + ": " + job.reason);
            return outcome;
        case job_verdict::missing: {
            // The system's own words for it, as for any input that will not open.
            input_file probe;
            file_status(open_reader_file(job.input.c_str(), probe));
            close_input_file(probe);
            return outcome;
        }
        case job_verdict::no_conversion:
            file_status(kgf_status::unsupported_conversion, nullptr);
            return outcome;
        case job_verdict::folder_too_long:
            file_status(kgf_status::path_too_long, job.output_dir.c_str());
            return outcome;
        case job_verdict::convert:
            break;
        }
        // A missing output folder, given or mirrored, is made with its
        // parents as each output is written.
        conversion_request request;
        request.from = job.from;
        request.to = job.to;
        request.input = job.input.c_str();
        request.folder = job.folder;
        request.options = batch;
        request.journal = journal;
        request.inputs = &inputs;
        request.report_cannot_open = true;
        request.sink = console_sink();
        conversion_result result = convert_file(request);
        file_failures(result);
        outcome.ok = result.status == kgf_status::ok ? 1 : 0;
        outcome.shown_name = std::move(result.shown_name);
        return outcome;
    };
    const job_work work = [&](int index, output_journal* journal) {
        if (!hooks.around)
            return convert_one(index, journal);
        return hooks.around(index, journal,
                            [&](output_journal* held) { return convert_one(index, held); });
    };
    return run_jobs(plan, work, hooks.done);
}

namespace {

int run_convert(const convert_options& options) {
    load_settings();
    const conversion_options batch = batch_options(options);
    const file_type to = type_named(options.to);
    if (to == file_type::kaf) {
        refuse_kaf_output();
        return exit_usage;
    }
    char base_folder[path_bytes] = {};
    if (!output_folder_text(options, base_folder))
        return exit_usage;

    const file_type forced = options.from == "auto" ? file_type::none : type_named(options.from);
    const convert_list list = list_inputs(options.files, base_folder, options.recursive, forced);
    const int count = static_cast<int>(list.items.size());

    const batch_plan plan = plan_items(list, to);
    // Every input is known before the first output is written, so that no
    // output replaces one, whatever the order of the files or -j.
    run_inputs inputs;
    add_plan_inputs(inputs, plan);
    const int convertible = jobs_with_a_type(plan);

    const bool bar = progress_bar_wanted(options.quiet, count);
    int converted = 0;
    int failed_so_far = 0;
    const job_done done = [&](int index, const job_outcome& outcome) {
        if (outcome.ok)
            ++converted;
        else
            ++failed_so_far;
        if (bar) {
            show_progress(index + 1, count, failed_so_far);
            return;
        }
        if (!outcome.ok || options.quiet)
            return;
        // The input as given (or found below a folder): the outputs of one
        // file can be many, and only the input names them all.
        char line[64];
        std::snprintf(line, sizeof line, "[%d/%d] ", index + 1, count);
        print_line(line + list.items[static_cast<size_t>(index)].input);
    };
    if (bar)
        start_progress(count);
    convert_batch_hooks hooks;
    hooks.done = done;
    const int failed =
        convert_items(plan, batch, inputs, options.jobs > 0 ? options.jobs : default_jobs(), hooks);
    if (bar)
        end_progress();
    if (convertible == 0)
        print_file_message("", "nothing to convert: no file of a type that converts");
    if (options.recursive && !options.quiet) {
        char summary[128];
        std::snprintf(summary, sizeof summary, "kgfconv: converted %d, failed %d, skipped %d",
                      converted, failed, list.skipped);
        print_line(summary);
    }
    // Nothing to convert is a usage error, never a success.
    if (convertible == 0)
        return exit_usage;
    return failed == 0 ? exit_ok : exit_failed;
}

// -j takes a count of files, as a whole number that the threads can use.
std::string jobs_check(std::string& text) {
    int jobs = 0;
    const bool number = !text.empty() && text.size() <= 9 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (number)
        jobs = std::stoi(text);
    if (jobs >= 1 && jobs <= most_threads)
        return std::string();
    return "-j " + text + ": takes 1 to " + std::to_string(most_threads) +
           ", the files converted at once";
}

} // namespace

convert_flags add_convert_options(CLI::App& command, convert_options& options,
                                  const char* recursive_help) {
    convert_flags flags;
    command.add_option("--to", options.to, "Output type, in any case")
        ->required()
        ->transform(CLI::IsMember({"kgf", "tga", "png", "kaf"}, CLI::ignore_case));
    command
        .add_option("--from", options.from,
                    "Input type of every file; auto (the default) takes each file's type "
                    "from its ending; both in any case")
        ->transform(CLI::IsMember({"kaf", "kgf", "tga", "png", "auto"}, CLI::ignore_case));
    flags.output_dir =
        command
            .add_option("-o,--output", options.output_dir,
                        "Output folder, made with its parents when missing (default: the stored "
                        "folder; ./output at first)")
            // An empty name is no folder: taken as the current one, it would
            // put outputs where nobody asked.
            ->check(CLI::Validator(
                [](std::string& text) {
                    return text.empty()
                               ? std::string("an empty name is no folder; . is the current one")
                               : std::string();
                },
                "", "folder"))
            ->type_name("DIR");
    command
        .add_option("--levels", options.levels,
                    "Mip levels of every KGF written: 1 or 5 (default: stored; 1 at first)")
        ->check(CLI::IsMember({1, 5}));
    command
        .add_option("--bpp", options.bpp,
                    "Depth of written TGA and PNG files: 24 or 32 (default: stored; 24 at "
                    "first)")
        ->check(CLI::IsMember({24, 32}));
    flags.all_levels =
        command.add_flag("--all-levels")
            ->description("Write one TGA or PNG file per mip level of a KGF or KAF frame "
                          "(default: stored; the first "
                          "level only at first)");
    flags.first_level =
        command.add_flag("--first-level")->description("Write the first level of a KGF only");
    flags.all_levels->excludes(flags.first_level);
    flags.suffix =
        command
            .add_option("--suffix", options.suffix,
                        "Text between the name and the level number of per-level TGA and PNG "
                        "files, at "
                        "most 9 characters and no /, \\ or : (default: stored; _MM at first)")
            ->check(CLI::Validator(
                [](std::string& text) {
                    // The stored setting's own check.
                    settings_record scratch{};
                    const setting_check check = set_setting(scratch, "suffix", text.c_str());
                    return check == setting_check::ok ? std::string()
                                                      : setting_check_text(check, "suffix");
                },
                "TEXT", "suffix"));
    flags.quality = add_quality_flags(command);
    command.add_flag("--yes", options.yes,
                     "Write KGF names of 36 characters or more, which the game cannot read; "
                     "without it such a file is not written and fails");
    command.add_flag("--quiet", options.quiet, "No line per converted file; errors still show");
    command
        .add_option("-j,--jobs", options.jobs,
                    "Convert up to N files at once, 1 to 64 (default: one per core, at most 64); "
                    "the outputs, messages and their order are those of -j 1")
        ->check(CLI::Validator(jobs_check, "N", "jobs"));
    command.add_flag("-r,--recursive", options.recursive, recursive_help);
    return flags;
}

void read_convert_flags(const convert_flags& flags, convert_options& options) {
    options.output_dir_given = flags.output_dir->count() > 0;
    options.suffix_given = flags.suffix->count() > 0;
    if (flags.all_levels->count() > 0)
        options.mipmaps = 1;
    if (flags.first_level->count() > 0)
        options.mipmaps = 0;
    read_quality_flags(flags.quality, options.dither, options.srgb_mips, options.alpha_mips);
}

void setup_convert(CLI::App& app, int& status) {
    auto options = std::make_shared<convert_options>();
    CLI::App* convert = app.add_subcommand(
        "convert", "Convert files into the output folder. Options not given take the stored "
                   "settings (see kgfconv settings); the values at first are shown below.");
    const convert_flags flags = add_convert_options(
        *convert, *options,
        "Convert every file whose name ends in kgf, tga, png or kaf (in any case) "
        "below each folder given; the output keeps each file's place below "
        "its folder, and the run ends with a count of converted, failed and "
        "skipped files. Links are not followed out of a folder.");
    convert->add_option("FILE", options->files, "Files to convert (folders with -r)")->required();
    convert->callback([=, &status] {
        read_convert_flags(flags, *options);
        install_console_messages();
        status = run_convert(*options);
    });
}
