#include "settings/settings.h"

#include "platform/files.h"
#include "platform/message.h"
#include "settings/setting_fields.h"

#include <cstring>
#include <set>
#include <string>

settings_record settings = {};

namespace {

// Copies text into a fixed field when it fits with its terminator.
bool copy_field(char* field, size_t size, const std::string& text) {
    if (text.size() + 1 > size)
        return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

void set_default_settings() {
    settings = settings_record{};
#ifdef _WIN32
    const std::string input_folder = "C:\\";
#else
    const std::string input_folder = home_folder();
#endif
    if (!copy_field(settings.input_dir, sizeof settings.input_dir, input_folder))
        copy_field(settings.input_dir, sizeof settings.input_dir, ".");
    // A start-up folder too long for the fields falls back to relative names.
    const std::string start = current_folder();
    if (!copy_field(settings.install_dir, sizeof settings.install_dir, start))
        copy_field(settings.install_dir, sizeof settings.install_dir, ".");
    // The folder keeps room for the separator that joins a name to it.
    const std::string output = start + path_separator + "output";
    if (output.size() + 2 > sizeof settings.output_dir ||
        !copy_field(settings.output_dir, sizeof settings.output_dir, output))
        copy_field(settings.output_dir, sizeof settings.output_dir, "output");
    settings.mipmaps = 0;
    settings.input_type = 1;
    settings.output_type = 2;
    settings.bpp = 24;
    copy_field(settings.suffix, sizeof settings.suffix, "_MM");
    settings.num_mipmaps = 1;
    settings.dither = 0;
    settings.srgb_mips = 0;
    settings.alpha_mips = 0;
}

void check_loaded_settings() {
    const settings_record loaded = settings;
    set_default_settings();
    const settings_record defaults = settings;
    settings = loaded;
    for (const std::string& note : repair_settings(settings, defaults))
        show_error((settings_location() + ": " + note).c_str());
}

namespace {

std::string last_failure;
std::set<std::string> kept_names;

} // namespace

const std::string& settings_failure() {
    return last_failure;
}

void set_settings_failure(const std::string& reason) {
    last_failure = reason;
}

void keep_setting(const char* name) {
    kept_names.insert(name);
}

bool setting_kept(const char* name) {
    return kept_names.count(name) != 0;
}
