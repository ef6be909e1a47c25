// Truevision TGA files. Read as image editors write them: true colour,
// colour-mapped or greyscale, raw or run-length, from any of the four
// origins. Written in one layout only: uncompressed true colour, bottom row
// first, with no image ID and no colour map.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/status.h"

#include <cstdint>
#include <vector>

constexpr int tga_header_size = 18;

// The header's fields, in file order.
struct tga_header {
    uint8_t id_length = 0;       // bytes of the image ID that follows the header
    uint8_t colour_map_type = 0; // 1: a colour map follows the image ID
    uint8_t image_type = 0;      // 1 colour-mapped, 2 true colour, 3 greyscale; +8 run-length
    uint16_t map_first_entry = 0;
    uint16_t map_length = 0;    // entries
    uint8_t map_entry_size = 0; // bits
    uint16_t x_origin = 0;
    uint16_t y_origin = 0;
    int16_t width = 0;
    int16_t height = 0;
    uint8_t pixel_depth = 0; // bits
    uint8_t descriptor = 0;  // bits 0-3 alpha bits, 4 right to left, 5 top to bottom
};

tga_header parse_tga_header(const uint8_t bytes[tga_header_size]);

// ok for a header whose type, depths and sizes the reader takes; else
// bad_image_size or unsupported_tga_type.
kgf_status check_tga_header(const tga_header& header);

// Reads the 18 header bytes and checks them; the reader is then at the
// image ID.
kgf_status read_tga_header(byte_reader& reader, tga_header& header);

// True for uncompressed 24- or 32-bit true colour stored left to right: its
// rows can go straight to 16 bits, the picture never held at its own depth.
bool tga_rows_convert_directly(const tga_header& header);

// For such a file, after read_tga_header: makes chain a 16-bit picture of
// the given levels and reads the pixels into its first level, top row
// first, as decode_tga and a conversion to 16 bits would give them; the
// lower levels are left to build_mip_chain. Makes the same checks as
// decode_tga, in the same order, before the chain is allocated.
kgf_status decode_tga_to_16(byte_reader& reader, const tga_header& header, int levels,
                            image_buffer& chain);

// Decodes a whole TGA file from the reader into an image prepared by
// init_image_buffer: width, height, bpp (16, 24 or 32) and data. Reports
// nothing. Colour-mapped and greyscale pictures come out at 24 bits, or 32
// when the map holds alpha; 15-bit pixels come out as opaque ARGB1555.
kgf_status decode_tga(byte_reader& reader, image_buffer& image, row_order rows);

// The same, after read_tga_header gave ok for header.
kgf_status decode_tga_after_header(byte_reader& reader, const tga_header& header,
                                   image_buffer& image, row_order rows);

// The 18 header bytes for the image's current width, height and bpp.
void build_tga_header(uint8_t header[tga_header_size], const image_buffer& image);

// Appends header and the width x height pixels that start at byte offset of
// data, last memory row first. Returns bad_image_size when the level does
// not lie inside data, no_memory when no room can be had for it (out
// unchanged either way).
kgf_status encode_tga(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset);
