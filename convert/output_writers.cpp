#include "convert/output_writers.h"

#include "convert/output_names.h"
#include "formats/kgf.h"
#include "formats/levels.h"
#include "formats/mip.h"
#include "formats/png.h"
#include "formats/text_fit.h"
#include "formats/tga.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

void release_both(image_buffer& source, image_buffer& destination) {
    release_image_data(source);
    release_image_data(destination);
}

// The request as the writers use it: its folder ends in its separator.
conversion_request with_separator(const conversion_request& request) {
    conversion_request result = request;
    result.folder = folder_with_separator(request.folder);
    return result;
}

// The depth of TGA and PNG files written: 24, or 32 for any other stored
// value, as the options dialog shows it.
uint8_t picture_output_depth(const conversion_options& options) {
    return options.bpp == 24 ? 24 : 32;
}

std::string suffix_text(const conversion_options& options) {
    const std::string_view stored(options.suffix, strnlen(options.suffix, suffix_bytes));
    return std::string(stored.substr(0, fitting_length(stored, suffix_bytes - 1)));
}

// The type whose ending an input's name carries: an animation's frames are
// named as the KGF files a split writes.
file_type name_type(const conversion_request& request) {
    return request.from == file_type::kaf ? file_type::kgf : request.from;
}

// The KGF chain of the source, the source's block released as soon as its
// first level is converted. A 24- or 32-bit source gives only its first
// level, so the chain's lower levels are added once the source's block is
// gone: the two blocks are never held whole at the same time.
kgf_status make_chain_releasing_source(image_buffer& destination, image_buffer& source, int levels,
                                       kgf_quality quality) {
    // The quality options average the lower levels from the source itself.
    if (source.bpp == 16 || levels <= 1 || quality != kgf_quality::none) {
        const kgf_status made = make_kgf_chain(destination, source, levels, quality);
        release_image_data(source);
        return made;
    }
    const kgf_status made = make_kgf_chain(destination, source, 1);
    release_image_data(source);
    if (made != kgf_status::ok)
        return made;
    destination.num_mipmaps = static_cast<int16_t>(levels);
    const kgf_status grown = grow_block(destination.data, mip_chain_bytes(destination));
    if (grown != kgf_status::ok)
        return grown;
    build_mip_chain(destination);
    return kgf_status::ok;
}

} // namespace

kgf_status levels_note(file_type output) {
    return output == file_type::png ? kgf_status::empty_png_levels : kgf_status::empty_levels;
}

std::string levels_left_out(const std::string& name, int first, int last) {
    if (first == last)
        return name + ": level " + std::to_string(first);
    return name + ": levels " + std::to_string(first) + " to " + std::to_string(last);
}

namespace {

// The path of an output named name in the request's folder, when it may be
// written: a name that stays in the folder, a path that fits, and a file
// the guard lets this input write; the refusal otherwise.
kgf_failure output_path(const conversion_request& request, output_guard& guard,
                        const std::string& name, std::string& path) {
    if (!is_plain_file_name(name.c_str()))
        return kgf_failure{kgf_status::bad_output_name, name};
    const kgf_failure joined = join_output_path(request.folder.c_str(), name, path);
    if (joined.status != kgf_status::ok)
        return joined;
    return kgf_failure{claim_output(guard, path), path};
}

// One level's file in bytes, as TGA or PNG; a level the writer refuses is
// told under its path.
kgf_failure encode_level(bool png, const image_buffer& destination, int64_t offset,
                         const std::string& path, std::vector<uint8_t>& bytes) {
    return kgf_failure{png ? encode_png(bytes, destination, offset)
                           : encode_tga(bytes, destination, offset),
                       path};
}

// Writes a finished chain as one KGF file named after name; releases it.
// A name the game cannot read, not written, fails the file with
// conversion_terminated.
void deliver_kgf_chain(const conversion_request& request, output_guard& guard,
                       const std::string& name, image_buffer& destination,
                       conversion_result& result) {
    result.shown_name = name;
    // The game reads the name the file holds: the output's.
    const std::string output_name = output_file_name(name, name_type(request), file_type::kgf);
    if (!kgf_name_accepted(output_name, request.options.long_names, request.sink)) {
        release_image_data(destination);
        result.add_told(kgf_status::conversion_terminated);
        return;
    }
    result.shown_name = output_name;
    std::string path;
    kgf_failure failure = output_path(request, guard, output_name, path);
    if (failure.status == kgf_status::ok) {
        std::vector<uint8_t> bytes;
        const int64_t chain = mip_chain_bytes(destination);
        // Reserved for the most runs the chain can need: untouched, the
        // room costs no memory, and the buffer never moves while it grows.
        bytes.reserve(output_name.size() + 32 + static_cast<size_t>((chain + 1) / 2 * 3));
        failure = kgf_failure{encode_kgf(bytes, output_name.c_str(), destination, chain), path};
        release_image_data(destination);
        if (failure.status == kgf_status::ok)
            failure = deliver_output(request.journal, request.folder.c_str(), path,
                                     std::move(bytes), request.inputs, result);
    }
    release_image_data(destination);
    result.add(std::move(failure));
}

} // namespace

void write_kgf_output(const conversion_request& given, output_guard& guard, const std::string& name,
                      image_buffer& source, image_buffer& destination, conversion_result& result) {
    const conversion_request request = with_separator(given);
    result.shown_name = name;
    const kgf_status made = make_chain_releasing_source(
        destination, source, request.options.num_mipmaps, request.options.quality);
    release_image_data(source);
    if (made != kgf_status::ok) {
        release_image_data(destination);
        result.add(kgf_failure{made});
        return;
    }
    deliver_kgf_chain(request, guard, name, destination, result);
}

void write_kgf_chain(const conversion_request& given, output_guard& guard, const std::string& name,
                     image_buffer& chain, conversion_result& result) {
    deliver_kgf_chain(with_separator(given), guard, name, chain, result);
}

void write_picture_outputs(const conversion_request& given, output_guard& guard,
                           const std::string& name, image_buffer& source, image_buffer& destination,
                           failure_list& failures, int* first_left_out) {
    const conversion_request request = with_separator(given);
    const bool png = request.to == file_type::png;
    const file_type picture_type = png ? file_type::png : file_type::tga;
    destination.num_mipmaps = source.num_mipmaps;
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = picture_output_depth(request.options);
    if (allocate_image_data(destination, mip_chain_bytes(destination)) != kgf_status::ok) {
        release_both(source, destination);
        failures.add(kgf_failure{kgf_status::no_memory});
        return;
    }
    convert_levels(destination, source);
    // 24 to 32 bits leaves alpha 0, which a TGA has always kept; a PNG of
    // an opaque picture is opaque.
    if (png && source.bpp == 24 && destination.bpp == 32)
        for (size_t i = 3; i < destination.data.size(); i += 4)
            destination.data[i] = 255;
    release_image_data(source);

    const std::string working_name = name.substr(0, fitting_length(name, path_bytes - 1));
    const std::string suffix = suffix_text(request.options);
    const int levels = destination.num_mipmaps;
    const int width = destination.width;
    const int height = destination.height;
    // Levels of no pixel are no picture an editor opens: said once, left out.
    const int empty = first_empty_level(width, height, levels);
    if (empty > 0 && first_left_out != nullptr)
        *first_left_out = *first_left_out > 0 ? std::min(*first_left_out, empty) : empty;
    else if (empty > 0)
        warn(request.sink, levels_note(request.to),
             levels_left_out(request.input, empty, levels).c_str());
    const int written = empty > 0 ? empty - 1 : levels;
    for (int level = 1; level <= written; ++level) {
        const std::string level_name =
            levels <= 1 ? output_file_name(working_name, name_type(request), picture_type)
                        : level_file_name(working_name, name_type(request), suffix.c_str(), level,
                                          picture_type);
        const level_size size = level_dimensions(width, height, level);
        destination.width = static_cast<int16_t>(size.width);
        destination.height = static_cast<int16_t>(size.height);
        const int64_t offset =
            level_offset(level_layout::chain_bytes, width, height, destination.bpp, level);
        std::string path;
        std::vector<uint8_t> bytes;
        kgf_failure failure = output_path(request, guard, level_name, path);
        if (failure.status == kgf_status::ok)
            failure = encode_level(png, destination, offset, path, bytes);
        if (failure.status == kgf_status::ok)
            failure = deliver_output(request.journal, request.folder.c_str(), path,
                                     std::move(bytes), request.inputs, failures);
        failures.add(std::move(failure));
    }
    release_both(source, destination);
}
