#include "convert/thumbnail.h"

#include "formats/kaf.h"
#include "formats/kgf.h"

#include <algorithm>
#include <cstring>

namespace {

// The picture to reduce, 16 bits top row first: a KGF's first level.
kgf_status read_kgf_picture(byte_reader& reader, image_buffer& picture) {
    kgf_reading reading;
    init_image_buffer(picture, 16);
    return decode_kgf(reader, picture, kgf_levels::first_only, row_order::top_first, reading);
}

// An animation's first frame. decode_kaf has checked every frame whole.
kgf_status read_kaf_picture(byte_reader& reader, image_buffer& picture) {
    kaf_animation animation;
    const kgf_status status = decode_kaf(reader, animation);
    if (status != kgf_status::ok)
        return status;
    if (animation.frame_count < 1)
        return kgf_status::no_frames;
    kaf_frame frame;
    if (!locate_kaf_frame(animation.frame_data, 0, frame) || frame.mip_count < 1)
        return kgf_status::frame_missing_data;
    const kgf_status decoded =
        decode_kaf_frame(animation.frame_data, frame, frame.end, picture, row_order::top_first);
    return decoded == kgf_status::missing_data ? kgf_status::frame_missing_data : decoded;
}

// The mean of sum over count, rounded to nearest.
uint8_t rounded_mean(uint64_t sum, uint64_t count) {
    return static_cast<uint8_t>((sum + count / 2) / count);
}

} // namespace

file_type thumbnail_type_from_content(const uint8_t* head, size_t size) {
    if (size >= sizeof kgf_prefix && std::memcmp(head, kgf_prefix, sizeof kgf_prefix) == 0)
        return file_type::kgf;
    return file_type::kaf;
}

void fit_thumbnail(int width, int height, int size, int& fitted_width, int& fitted_height) {
    fitted_width = width;
    fitted_height = height;
    const int64_t longer = std::max(width, height);
    if (longer <= size)
        return;
    fitted_width =
        static_cast<int>(std::max<int64_t>(1, (int64_t{width} * size + longer / 2) / longer));
    fitted_height =
        static_cast<int>(std::max<int64_t>(1, (int64_t{height} * size + longer / 2) / longer));
}

kgf_status box_reduce(const image_buffer& source, int fitted_width, int fitted_height,
                      image_buffer& out) {
    init_image_buffer(out, 32);
    out.width = static_cast<int16_t>(fitted_width);
    out.height = static_cast<int16_t>(fitted_height);
    const kgf_status allocated = allocate_image_data(out, mip_chain_bytes(out));
    if (allocated != kgf_status::ok)
        return allocated;
    const int64_t width = source.width;
    const int64_t height = source.height;
    const uint8_t* in = source.data.data();
    uint8_t* pixel = out.data.data();
    for (int64_t y = 0; y < fitted_height; ++y) {
        const int64_t top = y * height / fitted_height;
        const int64_t bottom = std::max((y + 1) * height / fitted_height, top + 1);
        for (int64_t x = 0; x < fitted_width; ++x, pixel += 4) {
            const int64_t left = x * width / fitted_width;
            const int64_t right = std::max((x + 1) * width / fitted_width, left + 1);
            uint64_t plain[3] = {};
            uint64_t weighted[3] = {};
            uint64_t alpha = 0;
            for (int64_t row = top; row < bottom; ++row) {
                const uint8_t* p = in + (row * width + left) * 4;
                for (int64_t column = left; column < right; ++column, p += 4) {
                    for (int c = 0; c < 3; ++c) {
                        plain[c] += p[c];
                        weighted[c] += uint64_t{p[c]} * p[3];
                    }
                    alpha += p[3];
                }
            }
            const uint64_t count = static_cast<uint64_t>((bottom - top) * (right - left));
            for (int c = 0; c < 3; ++c)
                pixel[c] =
                    alpha > 0 ? rounded_mean(weighted[c], alpha) : rounded_mean(plain[c], count);
            pixel[3] = rounded_mean(alpha, count);
        }
    }
    return kgf_status::ok;
}

kgf_status make_thumbnail(byte_reader& reader, file_type type, int size, image_buffer& thumbnail) {
    init_image_buffer(thumbnail, 32);
    if (type != file_type::kgf && type != file_type::kaf)
        return kgf_status::unsupported_conversion;
    image_buffer picture;
    const kgf_status read = type == file_type::kgf ? read_kgf_picture(reader, picture)
                                                   : read_kaf_picture(reader, picture);
    if (read != kgf_status::ok)
        return read;
    if (picture.width <= 0 || picture.height <= 0)
        return kgf_status::bad_image_size;
    // The first level at 32 bits, then reduced to fit.
    image_buffer full;
    init_image_buffer(full, 32);
    full.width = picture.width;
    full.height = picture.height;
    if (allocate_image_data(full, mip_chain_bytes(full)) != kgf_status::ok)
        return kgf_status::no_memory;
    convert_pixels(full, picture);
    release_image_data(picture);
    int fitted_width = 0;
    int fitted_height = 0;
    fit_thumbnail(full.width, full.height, std::clamp(size, smallest_thumbnail, largest_thumbnail),
                  fitted_width, fitted_height);
    if (fitted_width == full.width && fitted_height == full.height) {
        thumbnail = std::move(full);
        return kgf_status::ok;
    }
    return box_reduce(full, fitted_width, fitted_height, thumbnail);
}
