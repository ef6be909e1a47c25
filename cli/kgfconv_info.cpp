// kgfconv info: describes files, as text or as JSON.
#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_output.h"
#include "convert/describe.h"
#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/name_endings.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char json_fields[] =
    "JSON fields:\n"
    "  file        the file as given\n"
    "  type        \"KGF\", \"TGA\", \"PNG\" or \"KAF\"\n"
    "  width, height  the picture's size; for a KAF, its first frame's\n"
    "  depth       bits per pixel as read: 16 for KGF and KAF; 16, 24 or 32 for TGA; the\n"
    "              file's own for PNG (1 to 64)\n"
    "  mipmaps     mip levels the file declares (1 for TGA and PNG; a KAF's last frame's)\n"
    "  frames      1, or a KAF's frame count\n"
    "  note        KAF only, when its frames are not all of one size: \"sizes differ\"\n"
    "  frame_list  KAF only: {\"name\", \"width\", \"height\", \"mipmaps\"} per frame, "
    "in stored order\n"
    "  error       instead of the fields above, for a file that cannot be read or is of "
    "another type: the message\n"
    "Names are valid JSON: bytes that are not UTF-8 become U+FFFD.";

struct info_command {
    bool json = false;
    std::vector<std::string> files;
};

// What info learns of one file.
struct description {
    bool ok = false;
    file_description found;
};

// Reads the file as the preview does and describes it. A file that is
// missing or not a regular file is refused by name before it is read; the
// failures and warnings are messages of this file, held in the journal when
// given.
description describe(const std::string& file, output_journal* held) {
    description result;
    begin_file_messages(file, held);
    input_file opened;
    const kgf_failure opening = open_reader_file(file.c_str(), opened);
    file_status(opening);
    const kgf_status status = opening.status;
    const file_type type = type_from_ending(file.c_str(), ending_case::any);
    if (status == kgf_status::ok && type == file_type::none) {
        file_message("Unsupported file type");
    } else if (status == kgf_status::ok) {
        byte_reader reader = file_reader(opened);
        const kgf_status read = describe_image(reader, type, result.found);
        if (type == file_type::kaf) {
            file_status(kaf_reading_failure(result.found.animation, read, file.c_str()));
        } else {
            warn_kgf_header(console_sink(), result.found.kgf, file.c_str());
            file_status(read, file.c_str());
        }
        result.ok = read == kgf_status::ok;
    }
    close_input_file(opened);
    end_file_messages();
    return result;
}

// The frames in stored order, each with its name and its header's sizes.
nlohmann::ordered_json frame_list(const kaf_animation& animation) {
    nlohmann::ordered_json frames = nlohmann::ordered_json::array();
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char*) {
        // The name as stored, whole, rather than cut to its slot.
        const char* name =
            reinterpret_cast<const char*>(animation.frame_data.data() + frame.start + 3);
        frames.push_back({{"name", std::string(name, static_cast<size_t>(frame.name_length))},
                          {"width", frame.width},
                          {"height", frame.height},
                          {"mipmaps", frame.mip_count}});
    });
    return frames;
}

int run_info_json(const std::vector<std::string>& files) {
    int status = exit_ok;
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const std::string& file : files) {
        // The messages are held: a failure's own text goes into the object.
        output_journal held;
        const description found = describe(file, &held);
        if (!found.ok) {
            status = exit_failed;
            const std::string error = held.entries.empty() ? "" : held.entries.back().text;
            all.push_back({{"file", file}, {"error", error}});
            continue;
        }
        for (const journal_entry& warning : held.entries)
            print_file_message(file, warning.text);
        const image_info_record& info = found.found.info;
        nlohmann::ordered_json entry = {{"file", file},
                                        {"type", info.type_name},
                                        {"width", found.found.picture.width},
                                        {"height", found.found.picture.height},
                                        {"depth", info.color_depth},
                                        {"mipmaps", info.mip_levels},
                                        {"frames", info.frames}};
        if (std::string(info.type_name) == "KAF") {
            entry["frames"] = found.found.animation.frame_count;
            if (info.sizes_differ)
                entry["note"] = sizes_differ_note;
            entry["frame_list"] = frame_list(found.found.animation);
        }
        all.push_back(entry);
    }
    // Names come from files and arguments: bytes that are not UTF-8 are
    // replaced rather than written broken.
    print_to(stdout, "%s\n",
             all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return finish_standard_output(status);
}

// Describes each file; with json, as one JSON array on standard output.
int run_info(const std::vector<std::string>& files, bool json) {
    if (json)
        return run_info_json(files);
    int status = exit_ok;
    for (const std::string& file : files) {
        const description found = describe(file, nullptr);
        if (!found.ok) {
            status = exit_failed;
            continue;
        }
        const image_info_record& info = found.found.info;
        print_to(stdout,
                 "%s\n  Type: %s\n  Resolution: %s\n  Color depth: %u\n  Mipmaps: %u\n"
                 "  Frames: %u\n",
                 printable_name(file).c_str(), info.type_name, info.resolution, info.color_depth,
                 info.mip_levels, info.frames);
        if (info.sizes_differ)
            print_to(stdout, "  Note: %s\n", sizes_differ_note);
    }
    return finish_standard_output(status);
}

} // namespace

void setup_info(CLI::App& app, int& status) {
    auto command = std::make_shared<info_command>();
    CLI::App* info = app.add_subcommand(
        "info", "Describe files: type, resolution, colour depth, mip levels and frames");
    info->add_flag("--json", command->json,
                   "Print one JSON array with an object per file, in the order given, with the "
                   "fields below; failures are objects with an \"error\" text");
    info->add_option("FILE", command->files, "Files to describe; the type comes from the ending")
        ->required();
    info->footer(json_fields);
    info->callback([command, &status] {
        install_console_messages();
        status = run_info(command->files, command->json);
    });
}
