#include "convert/convert.h"

#include "convert/output_names.h"
#include "formats/allocation.h"
#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/text_fit.h"
#include "formats/tga.h"
#include "formats/tga_to_kgf.h"
#include "platform/files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

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

// The TGA depth written: 24, or 32 for any other stored value, as the
// options dialog shows it.
uint8_t tga_output_depth(const conversion_options& options) {
    return options.bpp == 24 ? 24 : 32;
}

std::string suffix_text(const conversion_options& options) {
    const std::string_view stored(options.suffix, strnlen(options.suffix, suffix_bytes));
    return std::string(stored.substr(0, fitting_length(stored, suffix_bytes - 1)));
}

std::string bare_name(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c)
        if (is_separator(*c))
            name = c + 1;
    return name;
}

// Asks before a KGF whose name the game cannot read; 1 to go on.
int name_length_accepted(const conversion_request& request, const std::string& name) {
    if (name.size() + 1 <= static_cast<size_t>(game_name_bytes))
        return 1;
    char question[128];
    std::snprintf(question, sizeof question,
                  "Filename exceeds %d characters, and will not readable by Corvane 3. Are you "
                  "sure you want to continue?",
                  game_name_bytes);
    return accept_long_name(request.sink, question) ? 1 : 0;
}

// The KGF chain of the source, the source's block released as soon as its
// first level is converted. A 24- or 32-bit source gives only its first
// level, so the chain's lower levels are added once the source's block is
// gone: the two blocks are never held whole at the same time.
int make_chain_releasing_source(image_buffer& destination, image_buffer& source, int levels,
                                kgf_quality quality) {
    // The quality options average the lower levels from the source itself.
    if (source.bpp == 16 || levels <= 1 || quality != kgf_quality::none) {
        const int made = make_kgf_chain(destination, source, levels, quality);
        release_image_data(source);
        return made;
    }
    const int made = make_kgf_chain(destination, source, 1);
    release_image_data(source);
    if (!made)
        return 0;
    destination.num_mipmaps = static_cast<int16_t>(levels);
    if (!grow_block(destination.data, mip_chain_bytes(destination)))
        return 0;
    build_mip_chain(destination);
    return 1;
}

// The path of an output named name in the request's folder, when it may be
// written: a name that stays in the folder, a path that fits, and a file
// the guard lets this input write. Reports the refusal otherwise.
bool output_path(const conversion_request& request, output_guard& guard, const std::string& name,
                 std::string& path) {
    if (!is_plain_file_name(name.c_str())) {
        report(request.sink, kgf_status::bad_output_name, name.c_str());
        return false;
    }
    if (!join_output_path(request.folder, name, path, request.sink))
        return false;
    const kgf_status claim = claim_output(guard, path);
    report(request.sink, claim, path.c_str());
    return claim == kgf_status::ok;
}

// Writes a finished chain as one KGF file named after name; releases it.
int deliver_kgf_chain(const conversion_request& request, output_guard& guard,
                      const std::string& name, image_buffer& destination, std::string& shown_name) {
    shown_name = name;
    if (!name_length_accepted(request, name)) {
        release_image_data(destination);
        return 0;
    }
    const std::string output_name = replace_extension(name, "kgf");
    shown_name = output_name;
    std::string path;
    int ok = 0;
    if (output_path(request, guard, output_name, path)) {
        std::vector<uint8_t> bytes;
        const int64_t chain = mip_chain_bytes(destination);
        // Reserved for the most runs the chain can need: untouched, the
        // room costs no memory, and the buffer never moves while it grows.
        bytes.reserve(output_name.size() + 32 + static_cast<size_t>((chain + 1) / 2 * 3));
        encode_kgf(bytes, output_name.c_str(), destination, chain);
        release_image_data(destination);
        ok = deliver_output(request.journal, request.folder, path, std::move(bytes), request.sink);
    }
    release_image_data(destination);
    return ok;
}

} // namespace

// Writes the source as one KGF file named after name; releases both blocks.
int write_kgf_output(const conversion_request& request, output_guard& guard,
                     const std::string& name, image_buffer& source, image_buffer& destination,
                     std::string& shown_name) {
    shown_name = name;
    const int made = make_chain_releasing_source(destination, source, request.options.num_mipmaps,
                                                 request.options.quality);
    release_image_data(source);
    if (!made) {
        report(request.sink, kgf_status::no_memory, nullptr);
        release_image_data(destination);
        return 0;
    }
    return deliver_kgf_chain(request, guard, name, destination, shown_name);
}

// Writes the source as one TGA file, or one per level; releases both blocks.
int write_tga_outputs(const conversion_request& request, output_guard& guard,
                      const std::string& name, image_buffer& source, image_buffer& destination) {
    destination.num_mipmaps = source.num_mipmaps;
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = tga_output_depth(request.options);
    if (!allocate_image_data(destination, mip_chain_bytes(destination))) {
        report(request.sink, kgf_status::no_memory, nullptr);
        release_both(source, destination);
        return 0;
    }
    convert_pixels(destination, source);
    release_image_data(source);

    const std::string working_name = name.substr(0, fitting_length(name, path_bytes - 1));
    const std::string suffix = suffix_text(request.options);
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
        std::vector<uint8_t> bytes;
        if (!output_path(request, guard, level_name, path) ||
            !encode_tga(bytes, destination, offset) ||
            !deliver_output(request.journal, request.folder, path, std::move(bytes), request.sink))
            ok = 0;
        offset += level_size;
        level_size /= 4;
        destination.width = static_cast<int16_t>(destination.width / 2);
        destination.height = static_cast<int16_t>(destination.height / 2);
    }
    release_both(source, destination);
    return ok;
}

namespace {

// Reads a KGF into source (16 bits) and shows its warnings under subject.
bool read_kgf_source(byte_reader& reader, const conversion_request& request, const char* subject,
                     image_buffer& source) {
    kgf_reading reading;
    const kgf_status status =
        decode_kgf(reader, source,
                   request.options.mipmaps != 0 ? kgf_levels::from_file : kgf_levels::first_only,
                   row_order::top_first, reading);
    report_kgf_reading(request.sink, reading, status, subject);
    return status == kgf_status::ok;
}

// The input's bytes through a reader: from memory when the request holds
// them, else from the file, opened and closed around the read.
template <typename read_with> bool read_input(const conversion_request& request, read_with read) {
    if (request.input_bytes != nullptr) {
        byte_reader reader = memory_reader(request.input_bytes, request.input_size);
        return read(reader);
    }
    bool ok = false;
    const kgf_status opened = decode_file(request.input, [&](byte_reader& reader) {
        ok = read(reader);
        return kgf_status::ok;
    });
    // A file that is not there is reported only when the request asks.
    if (opened != kgf_status::cannot_open || request.report_cannot_open)
        report(request.sink, opened, request.input);
    return opened == kgf_status::ok && ok;
}

bool read_source(const conversion_request& request, image_buffer& source) {
    const bool ok = read_input(request, [&](byte_reader& reader) {
        if (request.from == file_type::kgf) {
            init_image_buffer(source, 16);
            return read_kgf_source(reader, request, request.input, source);
        }
        init_image_buffer(source, 32);
        const kgf_status status = decode_tga(reader, source, row_order::top_first);
        report(request.sink, status, request.input);
        return status == kgf_status::ok;
    });
    if (!ok)
        release_image_data(source);
    return ok;
}

// TGA to KGF. Uncompressed 24- and 32-bit files go straight into the
// chain a band of rows at a time: the picture is never held at its own
// depth, which for a large one is most of the time and memory.
int convert_tga_file_to_kgf(const conversion_request& request, output_guard& guard,
                            const std::string& name, std::string& shown_name) {
    image_buffer source, chain;
    bool direct = false;
    const bool ok = read_input(request, [&](byte_reader& reader) {
        tga_header header;
        kgf_status status = read_tga_header(reader, header);
        if (status == kgf_status::ok)
            status = decode_tga_for_kgf(reader, header, request.options.num_mipmaps,
                                        request.options.quality, chain, source, direct);
        report(request.sink, status, request.input);
        return status == kgf_status::ok;
    });
    if (!ok) {
        release_both(source, chain);
        return 0;
    }
    if (!direct) {
        init_image_buffer(chain, 16);
        return write_kgf_output(request, guard, name, source, chain, shown_name);
    }
    build_mip_chain(chain);
    return deliver_kgf_chain(request, guard, name, chain, shown_name);
}

bool read_animation(const conversion_request& request, kaf_animation& animation) {
    const bool ok = read_input(request, [&](byte_reader& reader) {
        const kgf_status status = decode_kaf(reader, animation);
        report(request.sink, status, request.input);
        return status == kgf_status::ok;
    });
    if (!ok)
        report(request.sink, kgf_status::conversion_terminated, nullptr);
    return ok;
}

// Each frame as stored, with its own levels, read back from memory and
// written as TGA files named after the frame: no frame file ever passes
// through the output folder.
int convert_animation_to_tga(const conversion_request& request, output_guard& guard,
                             const kaf_animation& animation) {
    int ok = 1;
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char* name) {
        if (check_frame_name(animation, frame, name, request.sink) != kgf_status::ok) {
            ok = 0;
            return;
        }
        // The frame's own levels: the KGF output's level count has no say.
        std::vector<uint8_t> kgf_file;
        copy_frame_kgf(animation.frame_data, frame, name, kgf_file);
        const std::string subject = std::string(request.input) + ": frame " + name;
        byte_reader reader = memory_reader(kgf_file.data(), kgf_file.size());
        image_buffer source, destination;
        init_image_buffer(source, 16);
        init_image_buffer(destination, 32);
        if (!read_kgf_source(reader, request, subject.c_str(), source)) {
            release_image_data(source);
            ok = 0;
            return;
        }
        kgf_file = std::vector<uint8_t>();
        if (!write_tga_outputs(request, guard, name, source, destination))
            ok = 0;
    });
    return ok;
}

} // namespace

namespace {

int convert_file_unguarded(const conversion_request& request, std::string& shown_name) {
    const std::string name = bare_name(request.input);
    shown_name = name;
    output_guard guard = guard_for_input(request.inputs, request.input, request.from == request.to);
    if (request.from == file_type::kaf) {
        kaf_animation animation;
        if (!read_animation(request, animation))
            return 0;
        // Nothing written is no conversion: say so rather than report one.
        if (animation.frame_count == 0) {
            report(request.sink, kgf_status::no_frames, request.input);
            return 0;
        }
        if (request.to == file_type::kgf)
            return split_frames(animation, request.folder, request.options.num_mipmaps,
                                request.options.quality, request.journal, nullptr, request.sink,
                                &guard) == 0
                       ? 1
                       : 0;
        return convert_animation_to_tga(request, guard, animation);
    }
    if (request.from == file_type::tga && request.to == file_type::kgf)
        return convert_tga_file_to_kgf(request, guard, name, shown_name);
    image_buffer source, destination;
    if (!read_source(request, source))
        return 0;
    if (request.to == file_type::kgf) {
        init_image_buffer(destination, 16);
        return write_kgf_output(request, guard, name, source, destination, shown_name);
    }
    init_image_buffer(destination, 32);
    return write_tga_outputs(request, guard, name, source, destination);
}

} // namespace

int convert_file(const conversion_request& request, std::string& shown_name) {
    // Outputs are built in memory: one that cannot be had fails this file
    // alone, as a block that cannot be had does.
    int ok = 0;
    if (!with_memory([&] { ok = convert_file_unguarded(request, shown_name); })) {
        report(request.sink, kgf_status::no_memory, nullptr);
        ok = 0;
    }
    return ok;
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
