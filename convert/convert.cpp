#include "convert/convert.h"

#include "convert/output_names.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/output_file.h"
#include "formats/tga.h"
#include "platform/files.h"
#include "platform/message.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kgf_name_warning_length = 36; // name plus terminator the game reads

bool is_separator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

void release_both(image_buffer& source, image_buffer& destination) {
    release_image_data(source);
    release_image_data(destination);
}

// Opens the output path, reporting a file that cannot be created.
int open_reported(output_file& file, const std::string& path) {
    if (open_output_file(file, path.c_str()))
        return 1;
    show_error_about("Cannot create %s", path.c_str());
    return 0;
}

// Prepares the folder for an output file: creates its last component and
// gives the text its trailing separator.
int prepare_folder(char* folder) {
    create_folder(folder);
    if (!ensure_trailing_separator(folder)) {
        show_error_about("Path is too long: %s", folder);
        return 0;
    }
    return 1;
}

// The TGA depth written: 24, or 32 for any other stored value, as the
// options dialog shows it.
uint8_t tga_output_depth() {
    return settings.bpp == 24 ? 24 : 32;
}

std::string suffix_text() {
    return std::string(settings.suffix, strnlen(settings.suffix, 9));
}

int stay_quiet(const char*, const char*, unsigned style) {
    return (style & message_yes_no) ? answer_no : answer_ok;
}

// A file of the output folder that bears a frame's name, moved aside while
// the animation's frames pass through the folder as intermediate files.
struct moved_file {
    std::string path;
    std::string aside;
};

std::vector<moved_file> set_aside_frame_files(const char* folder, const char* animation) {
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    int64_t frame_data_size = 0;
    // A file that does not parse is reported by the split that follows.
    const message_handler previous = current_message_handler();
    set_message_handler(stay_quiet);
    const int parsed = parse_kaf(animation, nullptr, frame_data, frame_sizes, frame_names,
                                 frame_count, frame_data_size);
    set_message_handler(previous);

    std::vector<moved_file> moved;
    size_t position = 0;
    for (int32_t frame = 0; parsed && frame < frame_count && position < frame_names.size();
         ++frame) {
        const char* frame_name = frame_names.data() + position;
        position += strnlen(frame_name, frame_names.size() - position) + 1;
        if (!is_plain_frame_name(frame_name))
            continue;
        const std::string path = std::string(folder) + frame_name;
        if (!path_exists(path.c_str()))
            continue;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string aside = path + "~kaf" + std::to_string(attempt);
            if (path_exists(aside.c_str()))
                continue;
            if (replace_file(path.c_str(), aside.c_str()))
                moved.push_back({path, aside});
            break;
        }
    }
    return moved;
}

// The user's files come back in place of whatever frame file is left.
void put_back(const std::vector<moved_file>& moved) {
    for (const moved_file& file : moved) {
        delete_file(file.path.c_str());
        replace_file(file.aside.c_str(), file.path.c_str());
    }
}

} // namespace

const char* last_three(const char* name) {
    static char ending[4];
    const size_t length = std::strlen(name);
    const char* start = length < 3 ? name : name + length - 3;
    std::snprintf(ending, sizeof ending, "%s", start);
    return ending;
}

int ensure_trailing_separator(char* folder) {
    const size_t length = strnlen(folder, path_bytes);
    if (length >= static_cast<size_t>(path_bytes))
        return 0;
    if (length > 0 && is_separator(folder[length - 1]))
        return 1;
    if (length + 2 > static_cast<size_t>(path_bytes))
        return 0;
    folder[length] = path_separator;
    folder[length + 1] = '\0';
    return 1;
}

int save_as_kgf(char* folder, char* name, image_buffer& source, image_buffer& destination) {
    if (!make_kgf_chain(destination, source, settings.num_mipmaps)) {
        release_both(source, destination);
        return 0;
    }
    const int64_t chain = mip_chain_bytes(destination);

    int ok = 0;
    if (std::strlen(name) + 1 > static_cast<size_t>(kgf_name_warning_length)) {
        char question[128];
        std::snprintf(question, sizeof question,
                      "Filename exceeds %d characters, and will not readable by Corvane 3. Are "
                      "you sure you want to continue?",
                      kgf_name_warning_length);
        if (show_message(question, "Error", message_yes_no) != answer_yes) {
            release_both(source, destination);
            return 0;
        }
    }
    const std::string output_name = replace_extension(name, "kgf");
    // The caller's name ends in "kgf" afterwards when it can in place.
    if (output_name.size() == std::strlen(name))
        std::memcpy(name, output_name.c_str(), output_name.size());

    std::string path;
    output_file file;
    if (prepare_folder(folder) && join_output_path(folder, output_name, path) &&
        open_reported(file, path)) {
        const int written = write_kgf(file.stream, output_name.c_str(), destination, chain);
        ok = commit_output_file(file, written);
    }
    release_both(source, destination);
    return ok;
}

int save_as_tga(char* folder, char* name, image_buffer& source, image_buffer& destination) {
    destination.num_mipmaps = source.num_mipmaps;
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = tga_output_depth();
    const int64_t chain = mip_chain_bytes(destination);
    if (!allocate_image_data(destination, chain)) {
        release_both(source, destination);
        return 0;
    }
    convert_pixels(destination, source);

    const std::string working_name(name, strnlen(name, path_bytes - 1));
    const std::string suffix = suffix_text();
    int ok = 1;
    int64_t offset = 0;
    int64_t level_size =
        static_cast<int64_t>(destination.width) * destination.height * destination.bpp / 8;
    const int levels = destination.num_mipmaps;
    for (int level = 1; level <= levels; ++level) {
        const std::string level_name = levels <= 1
                                           ? replace_extension(working_name, "tga")
                                           : level_file_name(working_name, suffix.c_str(), level);
        std::string path;
        output_file file;
        if (prepare_folder(folder) && join_output_path(folder, level_name, path) &&
            open_reported(file, path)) {
            const int written = write_tga_image(file.stream, destination, offset);
            if (!commit_output_file(file, written))
                ok = 0;
        } else {
            ok = 0;
        }
        offset += level_size;
        level_size /= 4;
        destination.width = static_cast<int16_t>(destination.width / 2);
        destination.height = static_cast<int16_t>(destination.height / 2);
    }
    release_both(source, destination);
    return ok;
}

int convert_kgf_to_tga(char* folder, char* name) {
    image_buffer source, destination;
    init_image_buffer(source, 16);
    init_image_buffer(destination, 32);
    if (!read_kgf(name, source, 1, 0)) {
        release_image_data(source);
        return 0;
    }
    return save_as_tga(folder, name, source, destination);
}

int convert_tga_to_kgf(char* folder, char* name) {
    image_buffer source, destination;
    init_image_buffer(source, 32);
    init_image_buffer(destination, 16);
    if (!read_tga(name, source, 0)) {
        release_image_data(source);
        return 0;
    }
    return save_as_kgf(folder, name, source, destination);
}

int convert_tga_to_tga(char* folder, char* name) {
    image_buffer source, destination;
    init_image_buffer(source, 32);
    init_image_buffer(destination, settings.bpp);
    if (!read_tga(name, source, 0)) {
        release_image_data(source);
        return 0;
    }
    return save_as_tga(folder, name, source, destination);
}

int convert_kgf_to_kgf(char* folder, char* name) {
    image_buffer source, destination;
    init_image_buffer(source, 16);
    init_image_buffer(destination, 16);
    if (!read_kgf(name, source, 1, 0)) {
        release_image_data(source);
        return 0;
    }
    return save_as_kgf(folder, name, source, destination);
}

int convert_kaf_to_kgf(char* folder, char* name) {
    if (!ensure_trailing_separator(folder)) {
        show_error_about("Path is too long: %s", folder);
        return 0;
    }
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    return split_kaf(folder, name, frame_names, frame_count);
}

int convert_kaf_to_tga(char* folder, char* name) {
    if (!ensure_trailing_separator(folder)) {
        show_error_about("Path is too long: %s", folder);
        return 0;
    }
    std::vector<moved_file> moved = set_aside_frame_files(folder, name);
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    if (!split_kaf(folder, name, frame_names, frame_count)) {
        put_back(moved);
        return 0;
    }

    image_buffer source, destination;
    init_image_buffer(source, 16);
    init_image_buffer(destination, 32);
    int ok = 1;
    size_t position = 0;
    for (int32_t frame = 0; frame < frame_count && position < frame_names.size(); ++frame) {
        const char* start = frame_names.data() + position;
        const size_t length = strnlen(start, frame_names.size() - position);
        std::string frame_name(start, length);
        position += length + 1;

        std::string path;
        // A frame the splitter refused has no file here, and no other file
        // may stand in for it.
        if (!is_plain_frame_name(frame_name.c_str()) || !prepare_folder(folder) ||
            !join_output_path(folder, frame_name, path)) {
            ok = 0;
            continue;
        }
        if (!read_kgf(path.c_str(), source, 1, 0)) {
            // The frame's KGF file stays behind for the user to inspect.
            release_image_data(source);
            init_image_buffer(source, 16);
            ok = 0;
            continue;
        }
        char working[path_bytes] = {};
        std::snprintf(working, sizeof working, "%s", frame_name.c_str());
        // The intermediate file goes only once its TGA output is complete.
        if (save_as_tga(folder, working, source, destination))
            delete_file(path.c_str());
        else
            ok = 0;
        init_image_buffer(source, 16);
        init_image_buffer(destination, 32);
    }
    put_back(moved);
    return ok;
}
