// Reducing 8-bit channels to the 5 bits of ARGB1555 with an error-diffusion
// dither: each channel goes to the level whose widening (bit replication,
// as every reader widens) lies nearest, and the difference is carried on to
// the pixels not yet reduced, half to the right and a quarter to each of the
// two pixels below and below left. A picture's local means survive, so
// smooth gradients show no bands.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// For each value wanted, in 16ths of the 8-bit range (0 to 255 * 16), the
// 5-bit level whose widening lies nearest, in the low 8 bits, and what is
// left over (the value less that widening, in 16ths) above them: one load
// gives both, so little stands between one pixel's error and the next.
constexpr int dither_top = 255 * 16;

struct nearest_levels {
    std::array<int32_t, dither_top + 1> entry{};
};

constexpr nearest_levels make_nearest_levels() {
    std::array<int, 256> nearest{};
    for (int value = 0; value < 256; ++value)
        for (int level = 1; level < 32; ++level) {
            const int d = value - (level << 3 | level >> 2);
            const int best = nearest[static_cast<std::size_t>(value)];
            const int b = value - (best << 3 | best >> 2);
            if (d * d < b * b)
                nearest[static_cast<std::size_t>(value)] = level;
        }
    nearest_levels table;
    for (int wanted = 0; wanted <= dither_top; ++wanted) {
        const int best = nearest[static_cast<std::size_t>((wanted + 8) >> 4)];
        const int error = wanted - (best << 3 | best >> 2) * 16;
        table.entry[static_cast<std::size_t>(wanted)] =
            static_cast<int32_t>(static_cast<uint32_t>(error) << 8 | static_cast<uint32_t>(best));
    }
    return table;
}

inline constexpr nearest_levels nearest_level = make_nearest_levels();

// The carried errors of one picture (or one mip level), reduced row by row
// from the top. Errors are kept in 16ths; beyond black or white no level can
// pay one back, so what is wanted there is taken as black or white.
struct error_diffusion {
    std::vector<int32_t> here;  // errors owed to this row, 3 a pixel, a margin each side
    std::vector<int32_t> below; // errors owed to the next row

    explicit error_diffusion(int64_t width)
        : here(static_cast<std::size_t>(3 * (width + 2)), 0), below(here.size(), 0) {}

    // Reduces the next row of count pixels (B, G, R, A) to ARGB1555 at out,
    // the alpha bit set where A is not 0: half of each error to the right,
    // a quarter below left and a quarter below.
    void reduce_row(const uint8_t* in, int64_t count, uint8_t* out) {
        const int32_t* owed = here.data() + 3;
        int32_t* next = below.data() + 3;
        int32_t carry[3] = {}, under[3] = {};
        for (int64_t x = 0; x < count; ++x, in += 4, out += 2, owed += 3, next += 3) {
            unsigned value = in[3] != 0 ? 0x8000u : 0u;
            for (int c = 0; c < 3; ++c) {
                const int32_t wanted = std::clamp(in[c] * 16 + owed[c] + carry[c], 0, dither_top);
                const int32_t entry = nearest_level.entry[static_cast<std::size_t>(wanted)];
                const int32_t error = entry >> 8;
                value |= static_cast<unsigned>(entry & 31) << (5 * c);
                carry[c] = entry >> 9;
                next[c - 3] = under[c] + (error >> 2);
                under[c] = error - (error >> 1) - (error >> 2);
            }
            out[0] = static_cast<uint8_t>(value);
            out[1] = static_cast<uint8_t>(value >> 8);
        }
        for (int c = 0; c < 3; ++c)
            next[c - 3] = under[c];
        here.swap(below);
        std::fill(below.begin(), below.end(), 0);
    }
};
