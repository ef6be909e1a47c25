// The dialog program's PNG reader: a path, failures shown as messages, the
// mip level and the file's depth kept for the image-information window.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>

// Reads a PNG file into a 32-bit picture, bottom row first for the preview.
// Returns 1 on success, 0 on failure after a message naming the file and
// the reason, except for a file that cannot be opened. depth gets the
// file's own bits a pixel.
int read_png_for_preview(const char* path, image_buffer& image, uint8_t& depth);
