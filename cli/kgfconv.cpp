// kgfconv: the batch converter for scripts and machines without a display.
#include "cli/kgfconv.h"

#include "cli/kgfconv_completion.h"
#include "cli/kgfconv_jobs.h"
#include "settings/setting_fields.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char exit_statuses[] =
    "Exit status:\n"
    "  0  every file was converted (or described; settings shown or saved; the "
    "animation packed)\n"
    "  1  a file failed, each failure named on standard error (with -r too); or the "
    "settings could not be saved; or pack refused a frame and wrote nothing\n"
    "  2  a usage error, a setting refused, KAF output asked for, or nothing to convert: "
    "no file named (or found below a folder with -r) of a type that converts";

const char json_fields[] =
    "JSON fields:\n"
    "  file        the file as given\n"
    "  type        \"KGF\", \"TGA\" or \"KAF\"\n"
    "  width, height  the picture's size; for a KAF, its last frame's\n"
    "  depth       bits per pixel as read: 16 for KGF and KAF; 16, 24 or 32 for TGA\n"
    "  mipmaps     mip levels the file declares (1 for TGA; a KAF's last frame's)\n"
    "  frames      1, or a KAF's frame count\n"
    "  frame_list  KAF only: {\"name\", \"width\", \"height\", \"mipmaps\"} per frame, "
    "in stored order\n"
    "  error       instead of the fields above, for a file that cannot be read or is of "
    "another type: the message\n"
    "Names are valid JSON: bytes that are not UTF-8 become U+FFFD.";

const char* const command_names = "info, convert, pack and settings";

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

// Usage errors take one line naming the program, then where help is.
int usage_error(const CLI::App& app, const CLI::Error& error) {
    std::string text = error.what();
    std::string help = "kgfconv --help";
    for (const CLI::App* command : app.get_subcommands())
        help = "kgfconv " + command->get_name() + " --help";
    if (app.get_subcommands().empty()) {
        // A first word that is no command is the likeliest slip of all.
        const std::vector<std::string> left = app.remaining();
        if (!left.empty() && left.front().compare(0, 1, "-") != 0)
            text = left.front() + ": unknown command; the commands are " + command_names;
        else if (left.empty() && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr)
            text = std::string("a command is required; the commands are ") + command_names;
    }
    // CLI11 puts the option's long name before a check's text; -j's names itself.
    const std::string jobs_prefix = "--jobs: -j ";
    if (text.compare(0, jobs_prefix.size(), jobs_prefix) == 0)
        text.erase(0, jobs_prefix.size() - 3);
    print_to(stderr, "kgfconv: %s\nRun '%s' for more information.\n", text.c_str(), help.c_str());
    return exit_usage;
}

// The quality flags of a command that makes KGF chains.
struct quality_flags {
    CLI::Option* dither;
    CLI::Option* srgb_mips;
    CLI::Option* alpha_mips;
    CLI::Option* best;
};

quality_flags add_quality_flags(CLI::App* command) {
    quality_flags flags;
    // Each quality flag has its --no- form, for a setting stored as on.
    flags.dither =
        command->add_flag("--dither,!--no-dither")
            ->description(
                "Dither where 8-bit channels become KGF's 5 bits (blue noise): no bands in smooth "
                "gradients (default: stored; off at first)");
    flags.srgb_mips =
        command->add_flag("--srgb-mips,!--no-srgb-mips")
            ->description(
                "Average the lower mip levels in linear light: fine patterns keep their brightness "
                "(default: stored; off at first)");
    flags.alpha_mips =
        command->add_flag("--alpha-mips,!--no-alpha-mips")
            ->description(
                "Lower mip levels keep the first level's share of opaque pixels, take colours from "
                "opaque pixels only, and transparent pixels take their nearest opaque colour: "
                "cut-outs neither thicken nor darken (default: stored; off at first)");
    flags.best = command->add_flag("--best")->description(
        "The three above: --dither --srgb-mips --alpha-mips");
    return flags;
}

// The last of a flag and its --no- form given counts; --best turns on
// whichever of the three is not turned off after it.
void read_quality_flags(const quality_flags& flags, int& dither, int& srgb_mips, int& alpha_mips) {
    const auto quality_flag = [&](CLI::Option* flag, int& value) {
        if (flags.best->count() > 0)
            value = 1;
        for (const std::string& given : flag->results())
            value = given == "-1" || given == "false" ? 0 : 1;
    };
    quality_flag(flags.dither, dither);
    quality_flag(flags.srgb_mips, srgb_mips);
    quality_flag(flags.alpha_mips, alpha_mips);
}

} // namespace

int main(int argc, char** argv) {
    use_program_code_page_in_console();
    if (explained_when_started_alone(argc))
        return exit_usage;
    CLI::App app{"kgfconv: converts Corvane 3 textures (KGF), animations (KAF) and TGA images"};
    app.set_version_flag("--version", std::string("kgfconv (KGF Tool) ") + KGF_VERSION);
    app.require_subcommand(1);
    app.footer(exit_statuses);
    // The build writes the bash completion with this; the help does not show it.
    app.add_flag_callback("--bash-completion",
                          [&app] {
                              std::fputs(bash_completion(app).c_str(), stdout);
                              throw CLI::Success();
                          })
        ->group("");

    std::vector<std::string> info_files;
    CLI::App* info = app.add_subcommand(
        "info", "Describe files: type, resolution, colour depth, mip levels and frames");
    bool info_json = false;
    info->add_flag("--json", info_json,
                   "Print one JSON array with an object per file, in the order given, with the "
                   "fields below; failures are objects with an \"error\" text");
    info->add_option("FILE", info_files, "Files to describe; the type comes from the ending")
        ->required();
    info->footer(json_fields);

    convert_options options;
    CLI::App* convert = app.add_subcommand(
        "convert", "Convert files into the output folder. Options not given take the stored "
                   "settings (see kgfconv settings); the values at first are shown below.");
    convert->add_option("--to", options.to, "Output type, in any case")
        ->required()
        ->transform(CLI::IsMember({"kgf", "tga", "kaf"}, CLI::ignore_case));
    convert
        ->add_option("--from", options.from,
                     "Input type of every file; auto (the default) takes each file's type "
                     "from its ending; both in any case")
        ->transform(CLI::IsMember({"kaf", "kgf", "tga", "auto"}, CLI::ignore_case));
    convert
        ->add_option("-o,--output", options.output_dir,
                     "Output folder, made with its parents when missing (default: the stored "
                     "folder; ./output at first)")
        ->type_name("DIR");
    convert
        ->add_option("--levels", options.levels,
                     "Mip levels of every KGF written: 1 or 5 (default: stored; 1 at first)")
        ->check(CLI::IsMember({1, 5}));
    convert
        ->add_option("--bpp", options.bpp,
                     "Depth of written TGA files: 24 or 32 (default: stored; 24 at first)")
        ->check(CLI::IsMember({24, 32}));
    auto* all_levels = convert->add_flag("--all-levels")
                           ->description("Write one TGA file per mip level of a KGF or KAF frame "
                                         "(default: stored; the first "
                                         "level only at first)");
    auto* first_level =
        convert->add_flag("--first-level")->description("Write the first level of a KGF only");
    all_levels->excludes(first_level);
    convert
        ->add_option("--suffix", options.suffix,
                     "Text between the name and the level number of per-level TGA files, at "
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
    const quality_flags convert_quality = add_quality_flags(convert);
    convert->add_flag("--yes", options.yes,
                      "Write KGF names of 36 characters or more, which the game cannot read; "
                      "without it such a file is not written and fails");
    convert->add_flag("--quiet", options.quiet, "No line per converted file; errors still show");
    convert
        ->add_option("-j,--jobs", options.jobs,
                     "Convert up to N files at once, 1 to 64 (default: one per core, at most 64); "
                     "the outputs, messages and their order are those of -j 1")
        ->check(CLI::Validator(jobs_check, "N", "jobs"));
    convert->add_flag("-r,--recursive", options.recursive,
                      "Convert every file whose name ends in kgf, tga or kaf (in any case) "
                      "below each folder given; the output keeps each file's place below its "
                      "folder, and the run ends with a count of converted, failed and skipped "
                      "files. Links are not followed out of a folder.");
    convert->add_option("FILE", options.files, "Files to convert (folders with -r)")->required();

    pack_command pack_options;
    CLI::App* pack = app.add_subcommand(
        "pack", "Write one animation (KAF) of frames (KGF or TGA files), such as the frames of "
                "a split animation after editing");
    pack->add_option("-o,--output", pack_options.output,
                     "The animation to write; its name ends in kaf")
        ->required();
    pack->add_option("--like", pack_options.like,
                     "The original animation: its header, each frame's lead bytes, and every "
                     "frame whose first level did not change are taken from it, frames matched "
                     "by name; its frames not given are kept in their place");
    pack->add_option("--levels", pack_options.levels,
                     "Mip levels of each frame encoded: 1 or 5 (default: the original frame's "
                     "count with --like, else the stored setting)")
        ->check(CLI::IsMember({1, 5}));
    const quality_flags pack_quality = add_quality_flags(pack);
    pack->add_flag("--yes", pack_options.yes,
                   "Pack frame names of 36 characters or more, which the game cannot read");
    pack->add_flag("--quiet", pack_options.quiet, "No summary line; errors still show");
    pack->add_option("FRAME", pack_options.frames,
                     "Frames in the order given: KGF or TGA files, or a folder of a split "
                     "(its frames in the original's order with --like, else by name); a frame's "
                     "name is its file's name ending in kgf")
        ->required();
    pack->footer("Frames are 1 to 128 pixels a side; an animation holds 1 to 255 frames. "
                 "Nothing is written when a frame is refused.");

    std::vector<std::string> assignments;
    CLI::App* settings_command =
        app.add_subcommand("settings", "Print the stored settings, or check and save new values");
    settings_command->add_option("NAME=VALUE", assignments, "Settings to save");
    settings_command->footer(settings_help);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help, --version
        return usage_error(app, error);
    }

    if (settings_command->parsed()) {
        install_console_messages(false);
        return run_settings(assignments);
    }
    if (info->parsed()) {
        install_console_messages(false);
        return run_info(info_files, info_json);
    }
    if (pack->parsed()) {
        read_quality_flags(pack_quality, pack_options.dither, pack_options.srgb_mips,
                           pack_options.alpha_mips);
        install_console_messages(pack_options.yes);
        return run_pack(pack_options);
    }
    options.output_dir_given = convert->count("-o") > 0;
    options.suffix_given = convert->count("--suffix") > 0;
    if (all_levels->count() > 0)
        options.mipmaps = 1;
    if (first_level->count() > 0)
        options.mipmaps = 0;
    read_quality_flags(convert_quality, options.dither, options.srgb_mips, options.alpha_mips);
    install_console_messages(options.yes);
    return run_convert(options);
}
