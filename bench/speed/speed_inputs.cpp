#include "speed_inputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr double two_pi = 6.283185307179586;

// A small deterministic generator for the picture's parameters and grain.
uint32_t next_random(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// A number in [low, high) drawn from the generator.
double uniform(uint32_t& state, double low, double high) {
    return low + (high - low) * (next_random(state) >> 8) / 16777216.0;
}

uint32_t start_state(uint32_t seed, uint32_t salt) {
    const uint32_t state = (seed + 1) * 2654435761u ^ salt;
    return state == 0 ? 1 : state;
}

} // namespace

photo make_photo(int width, int height, uint32_t seed) {
    photo picture;
    picture.width = width;
    picture.height = height;
    picture.seed = seed;
    uint32_t state = start_state(seed, 0x9E3779B9u);
    for (int c = 0; c < 4; ++c) {
        // Between half a cycle and three cycles across the picture: broad
        // shapes whatever its size.
        const double fx = two_pi * uniform(state, 0.5, 3.0) / width;
        const double px = uniform(state, 0.0, two_pi);
        picture.wave_y[c] = two_pi * uniform(state, 0.5, 3.0) / height;
        picture.phase_y[c] = uniform(state, 0.0, two_pi);
        const double fd = two_pi * uniform(state, 0.5, 2.0) / width;
        const double pd = uniform(state, 0.0, two_pi);
        picture.diagonal_y[c] = two_pi * uniform(state, 0.5, 2.0) / height;
        picture.along_x[c].resize(static_cast<size_t>(width));
        picture.diagonal_sin[c].resize(static_cast<size_t>(width));
        picture.diagonal_cos[c].resize(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) {
            picture.along_x[c][static_cast<size_t>(x)] = std::sin(fx * x + px);
            picture.diagonal_sin[c][static_cast<size_t>(x)] = std::sin(fd * x + pd);
            picture.diagonal_cos[c][static_cast<size_t>(x)] = std::cos(fd * x + pd);
        }
    }
    return picture;
}

void photo_row(const photo& picture, int y, uint8_t* bgra) {
    // The grain of a row depends on the seed and the row alone.
    uint32_t state = start_state(picture.seed, static_cast<uint32_t>(y) * 40503u + 7u);
    double row_wave[4];
    double row_sin[4];
    double row_cos[4];
    for (int c = 0; c < 4; ++c) {
        row_wave[c] = std::cos(picture.wave_y[c] * y + picture.phase_y[c]);
        row_sin[c] = std::sin(picture.diagonal_y[c] * y);
        row_cos[c] = std::cos(picture.diagonal_y[c] * y);
    }
    // A layer's value at column i of this row, in [-2, 2].
    const auto layer = [&](int c, size_t i) {
        return picture.along_x[c][i] * row_wave[c] + picture.diagonal_sin[c][i] * row_cos[c] +
               picture.diagonal_cos[c][i] * row_sin[c]; // sin(a + b) from its two parts
    };
    for (int x = 0; x < picture.width; ++x) {
        const size_t i = static_cast<size_t>(x);
        const double light = 128.0 + 45.0 * layer(3, i);
        for (int c = 0; c < 3; ++c) {
            const int grain = static_cast<int>(next_random(state) % 5) - 2;
            const double value = light + 14.0 * layer(c, i) + grain;
            bgra[4 * i + static_cast<size_t>(c)] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
        }
        bgra[4 * i + 3] = 255;
    }
}

bool write_photo_tga(const std::string& path, const photo& picture) {
    std::unique_ptr<FILE, int (*)(FILE*)> stream(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!stream)
        return false;
    uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    header[12] = static_cast<uint8_t>(picture.width & 0xFF);
    header[13] = static_cast<uint8_t>(picture.width >> 8);
    header[14] = static_cast<uint8_t>(picture.height & 0xFF);
    header[15] = static_cast<uint8_t>(picture.height >> 8);
    header[16] = 32;
    header[17] = 8; // eight alpha bits, origin bottom left
    bool ok = std::fwrite(header, 1, sizeof header, stream.get()) == sizeof header;
    std::vector<uint8_t> row(4 * static_cast<size_t>(picture.width));
    for (int y = picture.height - 1; ok && y >= 0; --y) {
        photo_row(picture, y, row.data());
        ok = std::fwrite(row.data(), 1, row.size(), stream.get()) == row.size();
    }
    return std::fclose(stream.release()) == 0 && ok;
}
