#include "cli/kgfconv.h"

#include "cli/kgfconv_jobs.h"
#include "convert/batch.h"
#include "convert/convert.h"
#include "platform/message.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

file_type type_named(const std::string& type) {
    if (type == "kaf")
        return file_type::kaf;
    if (type == "kgf")
        return file_type::kgf;
    if (type == "tga")
        return file_type::tga;
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
        result.mipmaps = static_cast<uint8_t>(options.mipmaps);
    if (options.suffix_given)
        std::snprintf(result.suffix, sizeof result.suffix, "%s", options.suffix.c_str());
    return result;
}

// The output folder in its 256-byte text, ending in a separator.
bool output_folder_text(const convert_options& options, char (&folder)[path_bytes]) {
    const std::string chosen = options.output_dir_given ? options.output_dir : settings.output_dir;
    const std::string given = chosen.empty() ? std::string(1, '.') : chosen;
    if (given.size() + 1 <= static_cast<size_t>(path_bytes)) {
        std::snprintf(folder, sizeof folder, "%s", given.c_str());
        if (ensure_trailing_separator(folder))
            return true;
    }
    report_status(kgf_status::path_too_long, given.c_str());
    return false;
}

fs::path folder_identity(const fs::path& folder) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, error);
    if (error)
        return folder;
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

int default_jobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

} // namespace

int run_convert(const convert_options& options) {
    load_settings();
    const conversion_options batch = batch_options(options);
    const file_type to = type_named(options.to);
    if (to == file_type::kaf) {
        print_file_message("", "Sorry, but you cannot create KAFs (animations) with this version.");
        return exit_usage;
    }
    char folder[path_bytes] = {};
    if (!output_folder_text(options, folder))
        return exit_usage;
    remove_stale_temporaries(folder);

    const int count = static_cast<int>(options.files.size());
    std::vector<file_type> types(static_cast<size_t>(count));
    std::vector<int> in_output_folder(static_cast<size_t>(count), 0);
    const fs::path output_identity = folder_identity(folder);
    int convertible = 0;
    for (int i = 0; i < count; ++i) {
        const std::string& file = options.files[static_cast<size_t>(i)];
        types[static_cast<size_t>(i)] = options.from == "auto"
                                            ? type_from_ending(file.c_str(), ending_case::any)
                                            : type_named(options.from);
        if (types[static_cast<size_t>(i)] != file_type::none)
            ++convertible;
        // An earlier file could write this one's input: it waits its turn.
        in_output_folder[static_cast<size_t>(i)] =
            folder_identity(fs::path(file).parent_path()) == output_identity;
    }

    job_plan plan;
    plan.count = count;
    plan.threads = options.jobs > 0 ? options.jobs : default_jobs();
    plan.must_wait = [&](int index) { return in_output_folder[static_cast<size_t>(index)]; };
    plan.file_of = [&](int index) { return options.files[static_cast<size_t>(index)]; };

    const job_work work = [&](int index, output_journal* journal) {
        job_outcome outcome;
        const std::string& file = options.files[static_cast<size_t>(index)];
        const file_type from = types[static_cast<size_t>(index)];
        if (from == file_type::none) {
            report_status(kgf_status::unsupported_conversion, nullptr);
            return outcome;
        }
        conversion_request request;
        request.from = from;
        request.to = to;
        request.input = file.c_str();
        request.folder = folder;
        request.options = batch;
        request.journal = journal;
        request.report_cannot_open = true;
        outcome.ok = convert_file(request, outcome.shown_name);
        return outcome;
    };
    const job_done done = [&](int index, const job_outcome& outcome) {
        if (!outcome.ok || options.quiet)
            return;
        char line[64];
        std::snprintf(line, sizeof line, "[%d/%d] ", index + 1, count);
        print_line(line + outcome.shown_name);
    };
    const int failed = run_jobs(plan, work, done);
    if (convertible == 0)
        return exit_usage;
    return failed == 0 ? exit_ok : exit_failed;
}
