// Uncompressed true-colour Truevision TGA files.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"

#include <cstdint>
#include <cstdio>

constexpr int tga_header_size = 18;

// Row orders of read_tga.
constexpr int top_row_first = 0;    // for conversion
constexpr int bottom_row_first = 1; // as stored, for the preview

// Decodes a whole TGA file; reports nothing.
kgf_status decode_tga(byte_reader& reader, image_buffer& image, int as_stored);

// Appends the header and the width x height pixels that start at byte
// offset of data, last memory row first. 0 when the level does not lie
// inside data.
int encode_tga(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset);

// Reads a TGA file into an image prepared by init_image_buffer. as_stored
// non-zero keeps the file's row order (bottom row first); zero puts the top
// row first. Returns 1 on success, 0 on failure (after a message, except for
// a file that cannot be opened). On failure data may stay allocated.
int read_tga(const char* path, image_buffer& image, int as_stored);

// The 18 header bytes for the image's current width, height and bpp.
void build_tga_header(uint8_t header[tga_header_size], const image_buffer& image);

// Writes header and the width x height pixels that start at byte offset of
// data, last memory row first. Returns 1 when every byte was handed to the
// stream, 0 when a write failed or the level does not lie inside data.
int write_tga_image(FILE* stream, const image_buffer& image, int64_t offset);
