// How the dialog program reads the highlighted file for its preview.
#pragma once

#include "convert/file_type.h"
#include "formats/image_buffer.h"
#include "formats/kaf.h"

// Reads a file as the preview does, by its type: a TGA or PNG as stored
// (bottom row first), a KGF's first level for display, a KAF parsed into
// animation. The readers report their own failures. Returns 1 on success; 0
// when the read failed. depth gets the depth the image information shows:
// a PNG's own bits a pixel, else the picture's as read.
int read_for_preview(const char* path, file_type type, image_buffer& image,
                     kaf_animation& animation, uint8_t& depth);
