// kgfconv: the batch converter for scripts and machines without a display.
#include "cli/kgfconv.h"

#include "convert/batch.h"

#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App app{"kgfconv: converts Corvane 3 textures (KGF), animations (KAF) and TGA images"};
    app.set_version_flag("--version", std::string("kgfconv (KGF Tool) ") + KGF_VERSION);
    app.require_subcommand(1);

    std::vector<std::string> info_files;
    CLI::App* info = app.add_subcommand("info", "Show what the image-information window shows");
    info->add_option("FILE", info_files, "Files to describe")->required();

    convert_options options;
    CLI::App* convert = app.add_subcommand("convert", "Convert files into the output folder");
    convert->add_option("--to", options.to, "Output type")
        ->required()
        ->check(CLI::IsMember({"kgf", "tga", "kaf"}));
    convert->add_option("--from", options.from, "Input type of every file, or auto")
        ->check(CLI::IsMember({"kaf", "kgf", "tga", "auto"}));
    convert->add_option("-o,--output", options.output_dir, "Output folder");
    convert->add_option("--levels", options.levels, "Mip levels of every KGF written")
        ->check(CLI::Range(0, 255));
    convert->add_option("--bpp", options.bpp, "Depth of written TGA files")
        ->check(CLI::IsMember({24, 32}));
    auto* all_levels =
        convert->add_flag("--all-levels")->description("One TGA file per mip level of a KGF");
    auto* first_level =
        convert->add_flag("--first-level")->description("Only the first level of a KGF");
    all_levels->excludes(first_level);
    convert->add_option("--suffix", options.suffix, "Text between name and level number")
        ->check(CLI::Validator(
            [](std::string& text) {
                return text.size() <= 9 ? std::string() : "at most 9 characters";
            },
            "TEXT", "suffix"));
    convert->add_flag("--yes", options.yes, "Answer Yes to the name-length question");
    convert->add_flag("--quiet", options.quiet, "No line per finished file");
    convert->add_option("FILE", options.files, "Files to convert")->required();

    std::vector<std::string> assignments;
    CLI::App* settings_command =
        app.add_subcommand("settings", "Print the stored settings, or check and save new values");
    settings_command->add_option("NAME=VALUE", assignments, "Settings to save");
    settings_command->footer(settings_help);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? exit_ok : exit_usage;
    }

    if (settings_command->parsed())
        return run_settings(assignments);
    init_format_descriptions();
    if (info->parsed()) {
        install_console_messages(false);
        return run_info(info_files);
    }
    options.output_dir_given = convert->count("-o") > 0;
    options.suffix_given = convert->count("--suffix") > 0;
    if (all_levels->count() > 0)
        options.mipmaps = 1;
    if (first_level->count() > 0)
        options.mipmaps = 0;
    install_console_messages(options.yes);
    return run_convert(options);
}
