// kgfconv settings: prints the stored settings, or checks and saves new
// values for them.
#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_output.h"
#include "settings/setting_fields.h"
#include "settings/settings.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char settings_help[] =
    "Without arguments, prints where the settings are kept on a line starting with \"# \",\n"
    "then one NAME=VALUE line for each setting in this order: install_dir, input_dir,\n"
    "output_dir, input_type, output_type, bpp, mipmaps, suffix, num_mipmaps, dither,\n"
    "srgb_mips, alpha_mips. The value is everything after the first \"=\", exactly as stored.\n"
    "\n"
    "With NAME=VALUE arguments, checks every value and saves all of them, or none:\n"
    "  install_dir, input_dir   folders, at most 255 characters\n"
    "  output_dir    a folder, at most 254 characters (or 255 ending in a separator)\n"
    "  input_type    0 KAF, 1 KGF, 2 TGA, 3 all files, 4 PNG\n"
    "  output_type   0 KAF, 1 KGF, 2 TGA, 3 PNG\n"
    "  bpp           24 or 32, the depth of written TGA files\n"
    "  mipmaps       0 or 1; 1 writes one TGA per mip level of a KGF\n"
    "  suffix        at most 9 characters, no /, \\ or :, between name and level number\n"
    "  num_mipmaps   1 or 5, the mip levels of every KGF written\n"
    "  dither, srgb_mips, alpha_mips\n"
    "                0 or 1; 1 makes every KGF as convert --dither, --srgb-mips or\n"
    "                --alpha-mips does\n"
    "Texts are taken as given and may not hold line breaks. A stored value that\n"
    "cannot work is replaced by its default, with a message naming it. Saving\n"
    "stores the twelve values; on Linux a folder never set is left out, so that it\n"
    "goes on following the folder kgfconv runs in (and the home folder), while a\n"
    "folder set is kept even when it equals that default.\n"
    "\n"
    "Exit status: 0 printed or saved; 1 the save failed; 2 a value was refused and\n"
    "nothing was saved.\n";

void print_settings() {
    print_to(stdout, "# %s\n", settings_location().c_str());
    for (const auto& field : setting_fields)
        print_to(stdout, "%s=%s\n", field.name, setting_value(settings, field).c_str());
}

// No assignments: prints the settings in effect; NAME=VALUE...: saves them.
int run_settings(const std::vector<std::string>& assignments) {
    load_settings();
    if (assignments.empty()) {
        print_settings();
        return finish_standard_output(exit_ok);
    }
    // Every value is checked before anything is saved.
    settings_record changed = settings;
    bool all_valid = true;
    for (const auto& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            print_to(stderr, "kgfconv: %s: expected NAME=VALUE\n", assignment.c_str());
            all_valid = false;
            continue;
        }
        const std::string name = assignment.substr(0, equals);
        const std::string value = assignment.substr(equals + 1);
        const setting_check check = set_setting(changed, name.c_str(), value.c_str());
        if (check == setting_check::ok)
            keep_setting(name.c_str());
        if (check != setting_check::ok) {
            print_to(stderr, "kgfconv: %s: %s\n", assignment.c_str(),
                     setting_check_text(check, name.c_str()).c_str());
            all_valid = false;
        }
    }
    if (!all_valid)
        return exit_usage;
    settings = changed;
    if (!try_save_settings()) {
        const std::string reason =
            settings_failure().empty() ? settings_location() : settings_failure();
        print_to(stderr, "kgfconv: the settings could not be saved: %s\n", reason.c_str());
        return exit_failed;
    }
    return exit_ok;
}

} // namespace

void setup_settings(CLI::App& app, int& status) {
    auto assignments = std::make_shared<std::vector<std::string>>();
    CLI::App* command =
        app.add_subcommand("settings", "Print the stored settings, or check and save new values");
    command->add_option("NAME=VALUE", *assignments, "Settings to save");
    command->footer(settings_help);
    command->callback([assignments, &status] {
        install_console_messages();
        status = run_settings(*assignments);
    });
}
