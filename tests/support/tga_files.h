// TGA files made by hand, in layouts the core never writes.
#pragma once

#include "formats/image_buffer.h"
#include "formats/tga.h"
#include "support/core_support.h"

#include <cstdint>
#include <vector>

// The header from its fields, then body: image ID, colour map and pixels.
inline std::vector<uint8_t> tga_bytes(const tga_header& header, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes = {header.id_length, header.colour_map_type, header.image_type};
    put_u16(bytes, header.map_first_entry);
    put_u16(bytes, header.map_length);
    bytes.push_back(header.map_entry_size);
    put_u16(bytes, header.x_origin);
    put_u16(bytes, header.y_origin);
    put_u16(bytes, static_cast<uint16_t>(header.width));
    put_u16(bytes, static_cast<uint16_t>(header.height));
    bytes.push_back(header.pixel_depth);
    bytes.push_back(header.descriptor);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

// A top-row-first picture's first level in the order a file with this
// descriptor stores it (bit 4: right to left, bit 5: top to bottom).
inline std::vector<uint8_t> stored_pixels(const image_buffer& picture, uint8_t descriptor) {
    const size_t pixel = picture.bpp / 8;
    const size_t row = static_cast<size_t>(picture.width) * pixel;
    std::vector<uint8_t> out;
    for (int y = 0; y < picture.height; ++y) {
        const int from_y = (descriptor & 0x20) ? y : picture.height - 1 - y;
        for (int x = 0; x < picture.width; ++x) {
            const int from_x = (descriptor & 0x10) ? picture.width - 1 - x : x;
            const uint8_t* p = picture.data.data() + static_cast<size_t>(from_y) * row +
                               static_cast<size_t>(from_x) * pixel;
            out.insert(out.end(), p, p + pixel);
        }
    }
    return out;
}

// The same picture with its rows in the other order.
inline std::vector<uint8_t> rows_turned(const std::vector<uint8_t>& data, size_t row_bytes) {
    std::vector<uint8_t> out;
    for (size_t end = data.size(); row_bytes > 0 && end >= row_bytes; end -= row_bytes)
        out.insert(out.end(), data.begin() + static_cast<long>(end - row_bytes),
                   data.begin() + static_cast<long>(end));
    return out;
}
