// The dialog program's KGF routines: a path, the stored "mipmaps"
// setting, failures shown as messages.
#pragma once

#include "formats/image_buffer.h"

// Flags of read_kgf: how many levels, and for whom.
constexpr int first_level_only = 0; // use_file_mipmaps
constexpr int all_levels = 1;       // as many as the file declares, while "mipmaps" is on
constexpr int for_conversion = 0;   // for_display: rows top first
constexpr int for_preview = 1;      // rows bottom first, first level only

// Reads a KGF file into a 16-bit image prepared by init_image_buffer.
// Returns 1 on success, 0 on failure; data may stay allocated on failure.
int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display);
