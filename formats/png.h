// Portable Network Graphics files. Read in every form the format allows
// (grey, grey and alpha, true colour, with alpha, palette; 1 to 16 bits a
// sample; interlaced; tRNS transparency) as a 32-bit picture. Written as
// 8-bit true colour, with alpha at 32 bits. Gamma, colour profiles and text
// are not looked at.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/status.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int png_signature_size = 8;

// The IHDR chunk's fields.
struct png_header {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bit_depth = 0;
    uint8_t colour_type = 0; // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    uint8_t interlace = 0;   // 0 none, 1 Adam7
};

// Walks a whole PNG file in memory before anything is decoded: the
// signature, every chunk's length and checksum, the header against the
// readers' limits, and the image data inflated to the very size the header
// asks for. ok when the file can be decoded; else not_png, png_cut_short,
// bad_png_checksum, bad_png_data, unsupported_png or image_too_large.
kgf_status check_png(const uint8_t* bytes, size_t size, png_header& header);

// Decodes a whole PNG file from the reader into an image prepared by
// init_image_buffer: 32 bits (B, G, R, A), 16-bit samples rounded to 8.
// Reports nothing. header, when given, gets the file's header once the
// file is checked.
kgf_status decode_png(byte_reader& reader, image_buffer& image, row_order rows,
                      png_header* header = nullptr);

// Bits a pixel takes in the file: 1 to 64.
int png_pixel_bits(const png_header& header);

// Appends a PNG file of the width x height pixels that start at byte offset
// of data, top row first: 8-bit RGB for a 24-bit image, RGBA for 32 bits.
// ok, or (out unchanged) bad_image_size for an empty level or one outside
// data, image_too_large for one past the writer's limit, no_memory.
kgf_status encode_png(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset);
