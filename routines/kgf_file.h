// The dialog program's KGF routines: a path or a stream, the stored "mipmaps"
// setting, failures shown as messages, the mip levels kept for the
// image-information window.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>
#include <cstdio>

// Flags of read_kgf: how many levels, and for whom.
constexpr int first_level_only = 0; // use_file_mipmaps
constexpr int all_levels = 1;       // as many as the file declares, while "mipmaps" is on
constexpr int for_conversion = 0;   // for_display: rows top first
constexpr int for_preview = 1;      // rows bottom first, first level only

// Reads a KGF file into a 16-bit image prepared by init_image_buffer.
// Returns 1 on success, 0 on failure; data may stay allocated on failure.
int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display);

// Decodes run data from the stream's position into image.data. Returns the
// bytes decoded (the whole of the last run counted), or -1 on a read error.
int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display);

// Writes a whole KGF file; returns 1 when every write succeeded, else 0.
int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes);

// Appends the run data of the image's chain; returns 1 on success, else 0.
int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes);
