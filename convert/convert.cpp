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

// Reads a KGF into source (16 bits); its warnings go to the sink, its
// failure comes back under the input's name.
kgf_failure read_kgf_source(byte_reader& reader, const conversion_request& request,
                            image_buffer& source) {
    kgf_reading reading;
    const kgf_status status =
        decode_kgf(reader, source, request.options.kgf_levels_read, row_order::top_first, reading);
    warn_kgf_header(request.sink, reading, request.input);
    return kgf_failure{status, request.input};
}

// The input's bytes through a reader (read: kgf_failure(byte_reader&)): from
// memory when the request holds them, else from the file, opened and closed
// around the read. An input that is not there fails with nothing to show
// unless the request asks.
template <typename read_with>
kgf_status read_input(const conversion_request& request, failure_list& failures, read_with read) {
    if (request.input_bytes != nullptr) {
        byte_reader reader = memory_reader(request.input_bytes, request.input_size);
        return failures.add(read(reader));
    }
    kgf_failure status;
    const kgf_failure opened = decode_file(request.input, [&](byte_reader& reader) {
        status = read(reader);
        return kgf_status::ok;
    });
    if (opened.status == kgf_status::ok)
        return failures.add(std::move(status));
    if (opened.status != kgf_status::cannot_open || request.report_cannot_open)
        return failures.add(opened);
    return failures.add_told(opened.status);
}

kgf_status read_source(const conversion_request& request, failure_list& failures,
                       image_buffer& source) {
    const kgf_status status = read_input(request, failures, [&](byte_reader& reader) {
        if (request.from == file_type::kgf) {
            init_image_buffer(source, 16);
            return read_kgf_source(reader, request, source);
        }
        // A PNG is the picture a 32-bit TGA of the same pixels would be.
        init_image_buffer(source, 32);
        return kgf_failure{request.from == file_type::png
                               ? decode_png(reader, source, row_order::top_first)
                               : decode_tga(reader, source, row_order::top_first),
                           request.input};
    });
    if (status != kgf_status::ok)
        release_image_data(source);
    return status;
}

// TGA to KGF. Uncompressed 24- and 32-bit files go straight into the
// chain a band of rows at a time: the picture is never held at its own
// depth, which for a large one is most of the time and memory.
void convert_tga_file_to_kgf(const conversion_request& request, output_guard& guard,
                             const std::string& name, conversion_result& result) {
    image_buffer source, chain;
    bool direct = false;
    const kgf_status status = read_input(request, result, [&](byte_reader& reader) {
        tga_header header;
        kgf_status decoded = read_tga_header(reader, header);
        if (decoded == kgf_status::ok)
            decoded = decode_tga_for_kgf(reader, header, request.options.num_mipmaps,
                                         request.options.quality, chain, source, direct);
        return kgf_failure{decoded, request.input};
    });
    if (status != kgf_status::ok) {
        release_both(source, chain);
        return;
    }
    if (!direct) {
        init_image_buffer(chain, 16);
        write_kgf_output(request, guard, name, source, chain, result);
        return;
    }
    build_mip_chain(chain);
    write_kgf_chain(request, guard, name, chain, result);
}

kgf_status read_animation(const conversion_request& request, failure_list& failures,
                          kaf_animation& animation) {
    const kgf_status status = read_input(request, failures, [&](byte_reader& reader) {
        return kaf_reading_failure(animation, decode_kaf(reader, animation), request.input);
    });
    if (status != kgf_status::ok)
        failures.add(kgf_failure{kgf_status::conversion_terminated});
    return status;
}

// Each frame as stored, with its own levels, decoded from memory and
// written as TGA or PNG files named after the frame: no frame file ever
// passes through the output folder. Levels left out are told once for the
// file.
void convert_animation_to_pictures(const conversion_request& request, output_guard& guard,
                                   const kaf_animation& animation, failure_list& failures) {
    int first_left_out = 0;
    int most_levels = 0;
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char* name) {
        if (failures.add(check_frame_name(animation, frame, name)) != kgf_status::ok)
            return;
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
        warn_kgf_header(request.sink, reading, subject.c_str());
        if (failures.add(kgf_failure{status, short_frame ? name : subject}) != kgf_status::ok) {
            release_image_data(source);
            return;
        }
        most_levels = std::max<int>(most_levels, source.num_mipmaps);
        init_image_buffer(destination, 32);
        write_picture_outputs(request, guard, name, source, destination, failures, &first_left_out);
    });
    if (first_left_out > 0)
        warn(request.sink, levels_note(request.to),
             levels_left_out(request.input, first_left_out, most_levels).c_str());
}

void convert_file_unguarded(const conversion_request& request, conversion_result& result) {
    const std::string name = bare_name(request.input);
    result.shown_name = name;
    output_guard guard = guard_for_input(request.inputs, request.input, request.from == request.to);
    guard.held = request.journal != nullptr;
    if (request.from == file_type::kaf) {
        kaf_animation animation;
        if (read_animation(request, result, animation) != kgf_status::ok)
            return;
        // Nothing written is no conversion: say so rather than report one.
        if (animation.frame_count == 0) {
            result.add(kgf_failure{kgf_status::no_frames, request.input});
            return;
        }
        if (request.to == file_type::kgf)
            result.add_all(split_frames(animation, request.folder.c_str(),
                                        request.options.num_mipmaps, request.options.quality,
                                        request.journal, nullptr, request.sink, &guard,
                                        request.options.long_names));
        else
            convert_animation_to_pictures(request, guard, animation, result);
        return;
    }
    if (request.from == file_type::tga && request.to == file_type::kgf) {
        convert_tga_file_to_kgf(request, guard, name, result);
        return;
    }
    image_buffer source, destination;
    if (read_source(request, result, source) != kgf_status::ok)
        return;
    if (request.to == file_type::kgf) {
        init_image_buffer(destination, 16);
        write_kgf_output(request, guard, name, source, destination, result);
        return;
    }
    init_image_buffer(destination, 32);
    write_picture_outputs(request, guard, name, source, destination, result);
}

} // namespace

conversion_result convert_file(const conversion_request& given) {
    conversion_request request = given;
    request.folder = folder_with_separator(given.folder);
    // A KGF holds its first level whatever it is asked: readers read it.
    request.options.num_mipmaps = std::max<uint8_t>(given.options.num_mipmaps, 1);

    conversion_result result;
    // Outputs are built in memory: one that cannot be had fails this file
    // alone, as a block that cannot be had does.
    if (with_memory([&] { convert_file_unguarded(request, result); }) != kgf_status::ok)
        result.add(kgf_failure{kgf_status::no_memory});
    return result;
}
