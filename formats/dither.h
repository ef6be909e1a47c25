// Reducing 8-bit channels to the 5 bits of ARGB1555 with an error-diffusion
// dither: each channel goes to the level whose widening (bit replication,
// as every reader widens) lies nearest, and the difference is carried on to
// the pixels not yet reduced, with Floyd and Steinberg's weights: 7/16 to
// the right, 3/16, 5/16 and 1/16 to the row below. A picture's local means
// survive, so smooth gradients show no bands.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Errors stay within about half a level's step of 0 (each pixel owes a
// weighted mean of earlier errors), so wanted values stay within margin
// 16ths-rounded steps of the 8-bit range.
constexpr int dither_margin = 16;

// For each 8-bit value from -dither_margin to 255 + dither_margin (rounded
// from the 16ths wanted), the 5-bit level whose widening lies nearest, and
// that widening in 16ths.
struct nearest_levels {
    std::array<uint8_t, 256 + 2 * dither_margin> level{};
    std::array<int32_t, 256 + 2 * dither_margin> widened{};
};

constexpr nearest_levels make_nearest_levels() {
    nearest_levels table;
    for (int i = 0; i < 256 + 2 * dither_margin; ++i) {
        const int value = i - dither_margin;
        int best = 0;
        for (int level = 1; level < 32; ++level) {
            const int d = value - (level << 3 | level >> 2);
            const int b = value - (best << 3 | best >> 2);
            if (d * d < b * b)
                best = level;
        }
        table.level[static_cast<std::size_t>(i)] = static_cast<uint8_t>(best);
        table.widened[static_cast<std::size_t>(i)] = (best << 3 | best >> 2) * 16;
    }
    return table;
}

inline constexpr nearest_levels nearest_level = make_nearest_levels();

// The carried errors of one picture (or one mip level), reduced row by row
// from the top. Errors are kept in 16ths.
struct error_diffusion {
    std::vector<int32_t> here;  // errors owed to this row, 3 a pixel, a margin each side
    std::vector<int32_t> below; // errors owed to the next row

    explicit error_diffusion(int64_t width)
        : here(static_cast<std::size_t>(3 * (width + 2)), 0), below(here.size(), 0) {}

    // Reduces the next row of count pixels (B, G, R, A) to ARGB1555 at out,
    // the alpha bit set where A is not 0.
    void reduce_row(const uint8_t* in, int64_t count, uint8_t* out) {
        const int32_t* owed = here.data() + 3;
        int32_t* next = below.data() + 3;
        int32_t carry[3] = {}, under[3] = {};
        for (int64_t x = 0; x < count; ++x, in += 4, out += 2, owed += 3, next += 3) {
            unsigned value = in[3] != 0 ? 0x8000u : 0u;
            for (int c = 0; c < 3; ++c) {
                int32_t wanted = in[c] * 16 + owed[c] + carry[c];
                wanted = std::clamp(wanted, -dither_margin * 16, (255 + dither_margin) * 16 - 9);
                const std::size_t i = static_cast<std::size_t>(((wanted + 8) >> 4) + dither_margin);
                const int32_t error = wanted - nearest_level.widened[i];
                value |= static_cast<unsigned>(nearest_level.level[i]) << (5 * c);
                carry[c] = error >> 1;
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
