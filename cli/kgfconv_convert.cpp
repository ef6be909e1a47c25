#include "cli/kgfconv.h"

#include "convert/batch.h"
#include "convert/convert.h"
#include "platform/message.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

int type_index(const std::string& type) {
    if (type == "kaf")
        return 0;
    if (type == "kgf")
        return 1;
    if (type == "tga")
        return 2;
    return -1;
}

void apply_overrides(const convert_options& options) {
    if (options.levels >= 0)
        settings.num_mipmaps = static_cast<uint8_t>(options.levels);
    if (options.bpp >= 0)
        settings.bpp = static_cast<uint8_t>(options.bpp);
    if (options.mipmaps >= 0)
        settings.mipmaps = static_cast<uint8_t>(options.mipmaps);
    if (options.suffix_given)
        std::snprintf(settings.suffix, sizeof settings.suffix, "%s", options.suffix.c_str());
}

// The output folder as an absolute text in a 256-byte buffer, since every
// file is converted from inside its own folder.
bool prepare_output_folder(const convert_options& options, char* folder) {
    const std::string given = options.output_dir_given ? options.output_dir : settings.output_dir;
    const std::string text = given.empty() ? std::string(1, '.') : given;
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(text), error);
    if (error) {
        show_error_about("Path is too long: %s", text.c_str());
        return false;
    }
    std::string result = absolute.string();
    if (result.size() + 2 > static_cast<size_t>(path_bytes)) {
        show_error_about("Path is too long: %s", result.c_str());
        return false;
    }
    std::snprintf(folder, path_bytes, "%s", result.c_str());
    ensure_trailing_separator(folder);
    return true;
}

} // namespace

int run_convert(const convert_options& options) {
    load_settings();
    apply_overrides(options);

    std::snprintf(output_type_text, description_bytes, "%s",
                  format_descriptions[type_index(options.to)]);
    if (options.to == "kaf") {
        show_action_message(batch_action::sorry);
        return exit_usage;
    }
    char folder[path_bytes] = {};
    if (!prepare_output_folder(options, folder))
        return exit_usage;

    const bool forced = options.from != "auto";
    if (forced)
        decide_input_type(type_index(options.from) + 1, "");

    const fs::path start = fs::current_path();
    const int count = static_cast<int>(options.files.size());
    int failed = 0;
    int convertible = 0;
    for (int index = 0; index < count; ++index) {
        const std::string& file = options.files[static_cast<size_t>(index)];
        const fs::path given(file);
        const std::string bare = given.filename().string();
        if (!forced)
            decide_input_type(4, bare.c_str());
        const batch_action action = choose_action();
        if (action == batch_action::unsupported || action == batch_action::sorry) {
            show_action_message(action);
            ++failed;
            continue;
        }
        ++convertible;
        char name[path_bytes] = {};
        if (bare.size() + 1 > sizeof name) {
            show_error_about("Path is too long: %s", file.c_str());
            ++failed;
            continue;
        }
        std::memcpy(name, bare.c_str(), bare.size() + 1);

        // Inputs are opened by bare name from their own folder, as the file
        // dialog leaves it.
        std::error_code error;
        if (given.has_parent_path())
            fs::current_path(start / given.parent_path(), error);
        FILE* probe = error ? nullptr : std::fopen(name, "rb");
        if (probe == nullptr) {
            show_error_about("Cannot open %s", file.c_str());
            fs::current_path(start, error);
            ++failed;
            continue;
        }
        std::fclose(probe);
        const int ok = run_action(action, folder, name);
        fs::current_path(start, error);
        if (!ok)
            ++failed;
        if (!options.quiet)
            std::fprintf(stderr, "[%d/%d] %s\n", index + 1, count, name);
    }
    if (convertible == 0)
        return exit_usage;
    return failed == 0 ? exit_ok : exit_failed;
}
