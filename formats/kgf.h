// The game's texture file: lead bytes, name, fixed header, RLE mip chain.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>
#include <cstdio>

struct kgf_header {
    uint8_t prefix[3];
    uint8_t mip_count;
    uint8_t filler[9];
    int16_t width;
    int16_t height;
    uint16_t format_field;
};

constexpr uint16_t kgf_format_field = 0x2820;
constexpr int kgf_fixed_header_bytes = 16; // mip_count .. format_field

// Reads a KGF file into a 16-bit image prepared by init_image_buffer.
// Returns 1 on success, 0 on failure; data may stay allocated on failure.
int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display);

// Decodes run data from the stream's position into image.data. Returns the
// bytes decoded (the whole of the last run counted), or -1 on a read error.
int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display);

kgf_header build_kgf_header(const image_buffer& image);

// Writes a whole KGF file; returns 1 when every write succeeded, else 0.
int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes);

// Appends the run data of the image's chain; returns 1 on success, else 0.
int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes);
