// The benchmark's inputs: smooth, photo-like pictures made from a seed, and
// the uncompressed TGA files that hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture described by a few broad waves: light and shade that change
// slowly across it, as in a photograph, a mild colour cast, a little grain.
struct photo {
    int width = 0;
    int height = 0;
    uint32_t seed = 0;
    // Four layers: the colour cast of each channel (B, G, R), then the light
    // they share. Each layer is a wave along x times one along y, plus a
    // wave across a diagonal.
    std::vector<double> along_x[4];
    std::vector<double> diagonal_sin[4];
    std::vector<double> diagonal_cos[4];
    double wave_y[4] = {}; // frequencies and phases of the row factors
    double phase_y[4] = {};
    double diagonal_y[4] = {};
};

photo make_photo(int width, int height, uint32_t seed);

// Row y (0 is the top) as B, G, R, A bytes, alpha opaque. The same photo and
// row always give the same bytes.
void photo_row(const photo& picture, int y, uint8_t* bgra);

// Writes the photo as an uncompressed 32-bit TGA, rows bottom first (the
// format's usual origin). Returns false when the file cannot be written.
bool write_photo_tga(const std::string& path, const photo& picture);
