// Real input files for the conversion tests, written by hand or by the
// core's own writers.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>
#include <string>
#include <vector>

// A picture of the given depth whose bytes follow from the seed, top row
// first; 16-bit pixels carry the alpha bit on every other pixel.
image_buffer pattern_image(int width, int height, int bpp, unsigned seed);

// A chain of the given levels, every byte zero, its block exactly as long.
image_buffer blank_image(int bpp, int width, int height, int levels = 1);

// The picture converted to another depth.
image_buffer at_depth(const image_buffer& picture, int bpp);

// A bottom-up TGA file of the picture (as encode_tga lays it out).
std::vector<uint8_t> tga_file_bytes(const image_buffer& picture);
void write_tga_file(const std::string& path, const image_buffer& picture);

// A KGF file holding the 16-bit picture's first level and levels 2..levels
// built by the mip generator; its stored name is name.
std::vector<uint8_t> kgf_file_bytes(const std::string& name, const image_buffer& picture,
                                    int levels);
void write_kgf_file(const std::string& path, const std::string& name, const image_buffer& picture,
                    int levels);

// A KGF file as the reader gives it: every level the file declares, top row
// first; the file must read.
image_buffer read_kgf_bytes(const std::vector<uint8_t>& file);

// One KAF frame record of a 16-bit picture (one level), with the given
// 16-bit width field (normally the picture's width).
std::vector<uint8_t> kaf_frame(const std::string& name, const image_buffer& picture,
                               unsigned width_field);

// A KAF file: the long header form with the frames' count, then the frames.
std::vector<uint8_t> kaf_file(const std::vector<std::vector<uint8_t>>& frames);
