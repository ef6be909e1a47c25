#include "convert/convert.h"

#include "convert/output_names.h"
#include "convert/output_writers.h"
#include "formats/allocation.h"
#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/png.h"
#include "formats/tga.h"
#include "formats/tga_to_kgf.h"
#include "platform/files.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

void release_both(image_buffer& source, image_buffer& destination) {
    release_image_data(source);
    release_image_data(destination);
}

std::string bare_name(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c)
        if (is_path_separator(*c))
            name = c + 1;
    return name;
}

// Reads a KGF into source (16 bits) and shows its warnings under subject.
kgf_status read_kgf_source(byte_reader& reader, const conversion_request& request,
                           const char* subject, image_buffer& source) {
    kgf_reading reading;
    const kgf_status status =
        decode_kgf(reader, source, request.options.kgf_levels_read, row_order::top_first, reading);
    report_kgf_reading(request.sink, reading, status, subject);
    return status;
}

// The input's bytes through a reader (read: kgf_status(byte_reader&), which
// tells its own findings): from memory when the request holds them, else
// from the file, opened and closed around the read. An input that is not
// there is told only when the request asks.
template <typename read_with>
kgf_status read_input(const conversion_request& request, read_with read) {
    if (request.input_bytes != nullptr) {
        byte_reader reader = memory_reader(request.input_bytes, request.input_size);
        return read(reader);
    }
    kgf_status status = kgf_status::ok;
    const kgf_failure opened = decode_file(request.input, [&](byte_reader& reader) {
        status = read(reader);
        return kgf_status::ok;
    });
    if (opened.status == kgf_status::ok)
        return status;
    if (opened.status != kgf_status::cannot_open || request.report_cannot_open)
        report(request.sink, opened);
    return opened.status;
}

kgf_status read_source(const conversion_request& request, image_buffer& source) {
    const kgf_status status = read_input(request, [&](byte_reader& reader) {
        if (request.from == file_type::kgf) {
            init_image_buffer(source, 16);
            return read_kgf_source(reader, request, request.input, source);
        }
        // A PNG is the picture a 32-bit TGA of the same pixels would be.
        init_image_buffer(source, 32);
        const kgf_status decoded = request.from == file_type::png
                                       ? decode_png(reader, source, row_order::top_first)
                                       : decode_tga(reader, source, row_order::top_first);
        report(request.sink, decoded, request.input);
        return decoded;
    });
    if (status != kgf_status::ok)
        release_image_data(source);
    return status;
}

// TGA to KGF. Uncompressed 24- and 32-bit files go straight into the
// chain a band of rows at a time: the picture is never held at its own
// depth, which for a large one is most of the time and memory.
kgf_status convert_tga_file_to_kgf(const conversion_request& request, output_guard& guard,
                                   const std::string& name, std::string& shown_name) {
    image_buffer source, chain;
    bool direct = false;
    const kgf_status status = read_input(request, [&](byte_reader& reader) {
        tga_header header;
        kgf_status decoded = read_tga_header(reader, header);
        if (decoded == kgf_status::ok)
            decoded = decode_tga_for_kgf(reader, header, request.options.num_mipmaps,
                                         request.options.quality, chain, source, direct);
        report(request.sink, decoded, request.input);
        return decoded;
    });
    if (status != kgf_status::ok) {
        release_both(source, chain);
        return status;
    }
    if (!direct) {
        init_image_buffer(chain, 16);
        return write_kgf_output(request, guard, name, source, chain, shown_name);
    }
    build_mip_chain(chain);
    return write_kgf_chain(request, guard, name, chain, shown_name);
}

kgf_status read_animation(const conversion_request& request, kaf_animation& animation) {
    const kgf_status status = read_input(request, [&](byte_reader& reader) {
        const kgf_status decoded = decode_kaf(reader, animation);
        report_kaf_reading(request.sink, animation, decoded, request.input);
        return decoded;
    });
    if (status != kgf_status::ok)
        report(request.sink, kgf_status::conversion_terminated, nullptr);
    return status;
}

// Each frame as stored, with its own levels, decoded from memory and
// written as TGA or PNG files named after the frame: no frame file ever
// passes through the output folder. Levels left out are told once for the
// file. Returns the first frame's failure.
kgf_status convert_animation_to_pictures(const conversion_request& request, output_guard& guard,
                                         const kaf_animation& animation) {
    kgf_status first_failure = kgf_status::ok;
    const auto fail = [&](kgf_status status) {
        if (first_failure == kgf_status::ok)
            first_failure = status;
    };
    int first_left_out = 0;
    int most_levels = 0;
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char* name) {
        const kgf_status refusal = check_frame_name(animation, frame, name, request.sink);
        if (refusal != kgf_status::ok) {
            fail(refusal);
            return;
        }
        // The frame's own levels: the KGF output's level count has no say.
        const std::string subject = std::string(request.input) + ": frame " + name;
        // Its sides are the low bytes every reader of frames takes.
        kgf_reading reading;
        reading.header_read = true;
        reading.header = parse_kgf_header(animation.frame_data.data() + frame.header);
        image_buffer source, destination;
        kgf_status status =
            decode_kaf_chain(animation.frame_data, frame, request.options.kgf_levels_read, source);
        // A frame whose runs do not hold its levels is named as the reader
        // of animations names a frame cut short.
        const bool short_frame = status == kgf_status::missing_data;
        if (short_frame)
            status = kgf_status::frame_missing_data;
        report_kgf_reading(request.sink, reading, status, short_frame ? name : subject.c_str());
        if (status != kgf_status::ok) {
            release_image_data(source);
            fail(status);
            return;
        }
        most_levels = std::max<int>(most_levels, source.num_mipmaps);
        init_image_buffer(destination, 32);
        fail(write_picture_outputs(request, guard, name, source, destination, &first_left_out));
    });
    if (first_left_out > 0)
        report(request.sink, levels_note(request.to),
               levels_left_out(request.input, first_left_out, most_levels).c_str());
    return first_failure;
}

kgf_status convert_file_unguarded(const conversion_request& request, std::string& shown_name) {
    const std::string name = bare_name(request.input);
    shown_name = name;
    output_guard guard = guard_for_input(request.inputs, request.input, request.from == request.to);
    guard.held = request.journal != nullptr;
    if (request.from == file_type::kaf) {
        kaf_animation animation;
        const kgf_status read = read_animation(request, animation);
        if (read != kgf_status::ok)
            return read;
        // Nothing written is no conversion: say so rather than report one.
        if (animation.frame_count == 0) {
            report(request.sink, kgf_status::no_frames, request.input);
            return kgf_status::no_frames;
        }
        if (request.to == file_type::kgf)
            return split_frames(animation, request.folder.c_str(), request.options.num_mipmaps,
                                request.options.quality, request.journal, nullptr, request.sink,
                                &guard, request.options.long_names);
        return convert_animation_to_pictures(request, guard, animation);
    }
    if (request.from == file_type::tga && request.to == file_type::kgf)
        return convert_tga_file_to_kgf(request, guard, name, shown_name);
    image_buffer source, destination;
    const kgf_status read = read_source(request, source);
    if (read != kgf_status::ok)
        return read;
    if (request.to == file_type::kgf) {
        init_image_buffer(destination, 16);
        return write_kgf_output(request, guard, name, source, destination, shown_name);
    }
    init_image_buffer(destination, 32);
    return write_picture_outputs(request, guard, name, source, destination);
}

} // namespace

conversion_result convert_file(const conversion_request& given) {
    conversion_request request = given;
    request.folder = folder_with_separator(given.folder);

    conversion_result result;
    // Outputs are built in memory: one that cannot be had fails this file
    // alone, as a block that cannot be had does.
    if (with_memory([&] { result.status = convert_file_unguarded(request, result.shown_name); }) !=
        kgf_status::ok) {
        report(request.sink, kgf_status::no_memory, nullptr);
        result.status = kgf_status::no_memory;
    }
    return result;
}
