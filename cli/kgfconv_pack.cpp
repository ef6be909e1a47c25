// kgfconv pack: writes one animation of frames, taking what did not change
// from the original animation.
#include "cli/kgfconv_pack.h"

#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_output.h"
#include "cli/kgfconv_quality_flags.h"
#include "convert/convert.h"
#include "formats/allocation.h"
#include "formats/byte_reader.h"
#include "formats/kaf_pack.h"
#include "platform/files.h"
#include "settings/conversion_settings.h"
#include "settings/settings.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct frame_file {
    std::string path;
    frame_format format = frame_format::kgf;
};

bool frame_format_of(const std::string& name, frame_format& format) {
    const file_type type = type_from_ending(name.c_str(), ending_case::any);
    format = type == file_type::tga   ? frame_format::tga
             : type == file_type::png ? frame_format::png
                                      : frame_format::kgf;
    return type == file_type::kgf || type == file_type::tga || type == file_type::png;
}

// Name order in which numbers count as numbers: walk2 before walk10.
bool natural_less(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            // Leading zeros aside, a longer number is a larger one.
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0)
                return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

// The frame files of a folder: those of the original's frames in its
// order, then the files that are none of its frames in name order; or,
// without an original, every KGF, TGA and PNG file in name order.
std::vector<frame_file> folder_frames(const std::string& folder, const kaf_original* original) {
    std::vector<frame_file> all;
    for (const std::string& name : folder_names(folder.c_str())) {
        unsigned long owner = 0;
        frame_file file;
        if (is_temporary_name(name, owner) || !frame_format_of(name, file.format))
            continue;
        file.path = path_text(text_path(folder) / text_path(name));
        std::error_code error;
        if (fs::is_regular_file(text_path(file.path), error))
            all.push_back(file);
    }
    auto name_of = [](const frame_file& file) {
        return path_text(text_path(file.path).filename());
    };
    if (original == nullptr) {
        std::sort(all.begin(), all.end(), [&](const frame_file& a, const frame_file& b) {
            return natural_less(name_of(a), name_of(b));
        });
        return all;
    }
    std::sort(all.begin(), all.end(), [&](const frame_file& a, const frame_file& b) {
        return natural_less(name_of(a), name_of(b));
    });
    std::vector<frame_file> ordered;
    std::vector<bool> taken(all.size(), false);
    for_each_kaf_frame(original->animation, [&](int32_t, const kaf_frame&, const char* slot) {
        for (size_t i = 0; i < all.size(); ++i)
            if (!taken[i] &&
                names_same_frame(frame_name_of_file(name_of(all[i]), all[i].format), slot)) {
                taken[i] = true;
                ordered.push_back(all[i]);
            }
    });
    // Frames the user added beside the split's come after the original's.
    for (size_t i = 0; i < all.size(); ++i)
        if (!taken[i])
            ordered.push_back(all[i]);
    return ordered;
}

// The frame files the arguments name, folders opened; false after a
// message for an argument that gives none.
bool list_frames(const std::vector<std::string>& arguments, const kaf_original* original,
                 std::vector<frame_file>& files) {
    bool ok = true;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (fs::is_directory(text_path(argument), error)) {
            const std::vector<frame_file> found = folder_frames(argument, original);
            if (found.empty()) {
                print_file_message(argument, "No KGF, TGA or PNG file in this folder");
                ok = false;
            }
            files.insert(files.end(), found.begin(), found.end());
            continue;
        }
        frame_file file;
        file.path = argument;
        // An argument that names nothing, or a folder mistyped, says so
        // with the system's reason.
        if (!fs::exists(fs::symlink_status(text_path(argument), error)) ||
            (!argument.empty() && is_path_separator(argument.back()))) {
            input_file probe;
            kgf_failure opened = open_reader_file(argument.c_str(), probe);
            close_input_file(probe);
            begin_file_messages(argument, nullptr);
            if (opened.status == kgf_status::ok)
                opened.status = kgf_status::not_a_file;
            file_status(opened);
            end_file_messages();
            ok = false;
            continue;
        }
        if (!frame_format_of(argument, file.format)) {
            print_file_message(argument, "Unsupported file type; frames are KGF, TGA or PNG files");
            ok = false;
            continue;
        }
        files.push_back(file);
    }
    return ok;
}

// Reads each frame's first level; every file that fails is named.
bool read_frames(const std::vector<frame_file>& files, kgf_quality quality,
                 std::vector<pack_frame>& frames) {
    bool ok = true;
    for (const frame_file& file : files) {
        begin_file_messages(file.path, nullptr);
        pack_frame frame;
        frame.file = file.path;
        frame.name = frame_name_of_file(path_text(text_path(file.path).filename()), file.format);
        kgf_reading reading;
        const kgf_failure read = decode_file(file.path.c_str(), [&](byte_reader& reader) {
            return decode_frame_picture(reader, file.format, quality, frame, reading);
        });
        const kgf_status status = read.status;
        if (status == kgf_status::cannot_open) {
            file_status(read);
        } else {
            warn_kgf_header(console_sink(), reading, file.path.c_str());
            file_status(status, file.path.c_str());
        }
        end_file_messages();
        if (status != kgf_status::ok) {
            ok = false;
            continue;
        }
        frames.push_back(std::move(frame));
    }
    return ok;
}

} // namespace

// The original is an animation that holds frames; anything else is
// refused by name before anything is written.
bool read_original(const std::string& path, kaf_original& original) {
    begin_file_messages(path, nullptr);
    if (type_from_ending(path.c_str(), ending_case::any) != file_type::kaf) {
        file_message("Not an animation; --like takes the original KAF file");
        end_file_messages();
        return false;
    }
    std::vector<uint8_t> bytes;
    const kgf_failure read = decode_file(path.c_str(), [&](byte_reader& reader) {
        // Frame data past the largest is never read: the header and no more.
        const int64_t wanted = std::min<int64_t>(bytes_left(reader), largest_frame_data + 17);
        if (read_block(reader, wanted, bytes) != kgf_status::ok)
            return kgf_status::no_memory;
        return reader.failed ? kgf_status::io_error : kgf_status::ok;
    });
    kgf_status status = read.status;
    if (status == kgf_status::ok) {
        status = decode_kaf_original(bytes.data(), bytes.size(), original);
        if (status == kgf_status::ok && original.animation.frame_count == 0)
            status = kgf_status::no_frames;
        file_status(kaf_reading_failure(original.animation, status, path.c_str()));
    } else {
        file_status(read);
    }
    end_file_messages();
    return status == kgf_status::ok;
}

bool is_frame_of(const std::string& file_name, const kaf_original& original) {
    frame_format format = frame_format::kgf;
    if (!frame_format_of(file_name, format))
        return false;
    const std::string name = frame_name_of_file(file_name, format);
    bool found = false;
    for_each_kaf_frame(original.animation, [&](int32_t, const kaf_frame&, const char* slot) {
        found = found || names_same_frame(name, slot);
    });
    return found;
}

namespace {

std::string summary_line(const pack_command& command, const pack_summary& summary) {
    std::string line = command.output + ": " + std::to_string(summary.frames) +
                       (summary.frames == 1 ? " frame" : " frames");
    if (command.like.empty())
        return line + " encoded";
    line += ": " + std::to_string(summary.encoded) + " encoded, " + std::to_string(summary.copied) +
            " copied and " + std::to_string(summary.kept) + " kept from " + command.like;
    if (summary.added.empty())
        return line;
    // Frames the original does not have are new: named, as they are added.
    line += "; new, not in " + command.like + ":";
    for (const std::string& file : summary.added)
        line += " " + file;
    return line;
}

int run_pack_unguarded(const pack_command& command, std::string* summary) {
    if (type_from_ending(command.output.c_str(), ending_case::any) != file_type::kaf) {
        // A usage error, told as the others are: then where help is.
        print_file_message(command.output, "An animation's name ends in kaf");
        print_line("Run 'kgfconv pack --help' for more information.");
        return exit_usage;
    }
    load_settings();
    kaf_original original;
    const bool has_original = !command.like.empty();
    if (has_original && !read_original(command.like, original))
        return exit_failed;
    const kaf_original* like = has_original ? &original : nullptr;

    std::vector<frame_file> files;
    bool ok = list_frames(command.frames, like, files);
    // TGA frames and the levels encoded are made as a TGA to KGF conversion
    // with the same quality options makes them.
    const kgf_quality quality =
        chosen_quality(options_from_settings(settings).quality, command.dither, command.srgb_mips,
                       command.alpha_mips);
    std::vector<pack_frame> frames;
    ok = read_frames(files, quality, frames) && ok;
    if (!ok)
        return exit_failed;

    pack_options options;
    options.levels = command.levels > 0 ? command.levels : 0;
    options.default_levels = settings.num_mipmaps;
    options.quality = quality;
    std::vector<uint8_t> bytes;
    const pack_result result = pack_kaf(frames, like, options, bytes);
    if (result.status != kgf_status::ok) {
        const std::string subject = result.subject.empty() ? command.output : result.subject;
        begin_file_messages(subject, nullptr);
        file_status(result.status, result.shown.empty() ? subject.c_str() : result.shown.c_str());
        end_file_messages();
        return exit_failed;
    }

    for (const std::string& file : result.made_opaque) {
        begin_file_messages(file, nullptr);
        file_status(kgf_status::transparency_dropped, file.c_str());
        end_file_messages();
    }

    // The animation's folder is made with its parents when missing, as
    // convert makes its output folder.
    const fs::path folder = text_path(command.output).parent_path();
    const std::string folder_text = folder.empty() ? std::string(".") : path_text(folder);
    remove_stale_temporaries(folder_text.c_str());
    begin_file_messages(command.output, nullptr);
    const kgf_failure written = write_output_now(folder_text.c_str(), command.output, bytes);
    file_status(written);
    end_file_messages();
    if (written.status != kgf_status::ok)
        return exit_failed;
    if (summary != nullptr)
        *summary = summary_line(command, result.summary);
    else if (!command.quiet)
        print_line("kgfconv: " + summary_line(command, result.summary));
    return exit_ok;
}

} // namespace

int run_pack(const pack_command& command, std::string* summary) {
    int status = exit_failed;
    if (with_memory([&] { status = run_pack_unguarded(command, summary); }) != kgf_status::ok) {
        file_status(kgf_status::no_memory, nullptr);
        status = exit_failed;
    }
    return status;
}

void setup_pack(CLI::App& app, int& status) {
    auto command = std::make_shared<pack_command>();
    CLI::App* pack = app.add_subcommand(
        "pack", "Write one animation (KAF) of frames (KGF, TGA or PNG files), such as the "
                "frames of a split animation after editing");
    pack->add_option("-o,--output", command->output, "The animation to write; its name ends in kaf")
        ->required();
    pack->add_option("--like", command->like,
                     "The original animation: its header, each frame's lead bytes, and every "
                     "frame whose first level did not change are taken from it, frames matched "
                     "by name; its frames not given are kept in their place");
    pack->add_option("--levels", command->levels,
                     "Mip levels of each frame encoded: 1 or 5 (default: the original frame's "
                     "count with --like, else the stored setting)")
        ->check(CLI::IsMember({1, 5}));
    const quality_flags quality = add_quality_flags(*pack);
    pack->add_flag("--quiet", command->quiet, "No summary line; errors still show");
    pack->add_option("FRAME", command->frames,
                     "Frames in the order given: KGF, TGA or PNG files, or a folder of a split "
                     "(with --like its frames in the original's order, then other frame files "
                     "by name as new frames; else by name); a frame's name is its file's name "
                     "ending in .kgf")
        ->required();
    pack->footer("Frames are 1 to 128 pixels a side; an animation holds 1 to 255 frames, and "
                 "a frame's name holds at most 35 characters (a split could not write a longer "
                 "one). Nothing is written when a frame is refused.");
    pack->callback([command, quality, &status] {
        read_quality_flags(quality, command->dither, command->srgb_mips, command->alpha_mips);
        install_console_messages();
        status = run_pack(*command, nullptr);
    });
}
