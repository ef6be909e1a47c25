// The dialog program's TGA routines: a path, failures shown as
// messages.
#pragma once

#include "formats/image_buffer.h"

// The row order read_tga reads a picture into (its as_stored argument).
constexpr int top_row_first = 0;    // what the conversions hold
constexpr int bottom_row_first = 1; // what the preview draws

// Reads a TGA file. as_stored is top_row_first or bottom_row_first. Returns
// 1 on success, 0 on failure after a message naming the file, except for a
// file that cannot be opened. On failure data may stay allocated.
int read_tga(const char* path, image_buffer& image, int as_stored);
