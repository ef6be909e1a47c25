// The PNG library's decoder and encoder behind two plain calls. Only png.cpp
// uses them: it checks a file before the library sees it.
#pragma once

#include "formats/status.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes a checked PNG file to 8-bit R, G, B, A samples, top row first,
// 16-bit samples rounded to 8. bad_png_data when the library refuses the
// file or no room can be had.
kgf_status library_decode_png(const uint8_t* bytes, size_t size, bool sixteen_bits,
                              std::vector<uint8_t>& rgba);

// Encodes width x height pixels of channels (3: R, G, B; 4: with A) 8-bit
// samples, top row first, rows stride bytes apart, the image data deflated
// at zlib's best. no_memory when no room can be had.
kgf_status library_encode_png(const uint8_t* pixels, int width, int height, int channels,
                              int stride, std::vector<uint8_t>& out);
