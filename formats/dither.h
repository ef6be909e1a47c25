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
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The level of a value wanted, in 16ths of the 8-bit range (0 to 255 * 16):
// nearly the one whose widening lies nearest, and found the same way by
// the vector and the plain code, so both write the same bytes.
constexpr int dither_top = 255 * 16;

inline int dither_level(int wanted) {
    return ((wanted + 66) * 498) >> 16;
}

inline int dither_widened(int level) {
    return level * 128 + (level >> 2) * 16; // (level << 3 | level >> 2) in 16ths
}

// The carried errors of one picture (or one mip level), reduced row by row
// from the top. Errors are kept in 16ths, 4 a pixel (blue, green, red and a
// spare lane); beyond black or white no level can pay one back, so what is
// wanted there is taken as black or white. Rows are reduced up to four at a
// time, each two pixels behind the one above it: what a pixel owes is then
// whole, and the rows' walks overlap in time.
struct error_diffusion {
    static constexpr int most_rows = 4;
    // errors[0] is owed to the next row; errors[r] is passed from row r - 1
    // to row r of a group. A pixel's margin on each side.
    std::vector<int16_t> errors[most_rows + 1];

    explicit error_diffusion(int64_t width) {
        for (auto& row : errors)
            row.assign(static_cast<std::size_t>(4 * (width + 2)), 0);
    }

    // One row's walk: the errors it owes on to the right and below.
    struct row_walk {
        const uint8_t* in;
        uint8_t* out;
        const int16_t* owed;
        int16_t* next;
#ifdef __SSE2__
        __m128i carry = _mm_setzero_si128();
        __m128i under = _mm_setzero_si128(); // for the pixel below, so far
#else
        int carry[3] = {};
        int under[3] = {};
#endif

        // Reduces one pixel (B, G, R, A) to ARGB1555, the alpha bit set
        // where A is not 0: half of each error to the right, a quarter below
        // left and a quarter below.
        void step() {
            unsigned value = in[3] != 0 ? 0x8000u : 0u;
#ifdef __SSE2__
            const __m128i zero = _mm_setzero_si128();
            uint32_t bgr;
            std::memcpy(&bgr, in, 4);
            const __m128i pixel =
                _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bgr & 0xFFFFFFu)), zero);
            __m128i wanted = _mm_add_epi16(
                _mm_add_epi16(_mm_slli_epi16(pixel, 4),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(owed))),
                carry);
            wanted = _mm_min_epi16(_mm_max_epi16(wanted, zero), _mm_set1_epi16(dither_top));
            const __m128i level =
                _mm_mulhi_epu16(_mm_add_epi16(wanted, _mm_set1_epi16(66)), _mm_set1_epi16(498));
            const __m128i widened = _mm_add_epi16(_mm_slli_epi16(level, 7),
                                                  _mm_slli_epi16(_mm_srli_epi16(level, 2), 4));
            const __m128i error = _mm_sub_epi16(wanted, widened);
            carry = _mm_srai_epi16(error, 1);
            const __m128i quarter = _mm_srai_epi16(error, 2);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(next - 4), _mm_add_epi16(under, quarter));
            under = _mm_sub_epi16(_mm_sub_epi16(error, carry), quarter);
            const __m128i packed =
                _mm_madd_epi16(level, _mm_setr_epi16(1, 32, 1024, 0, 0, 0, 0, 0));
            value |= static_cast<unsigned>(_mm_cvtsi128_si32(packed)) +
                     static_cast<unsigned>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4)));
#else
            for (int c = 0; c < 3; ++c) {
                const int wanted = std::clamp(in[c] * 16 + owed[c] + carry[c], 0, dither_top);
                const int level = dither_level(wanted);
                const int error = wanted - dither_widened(level);
                value |= static_cast<unsigned>(level) << (5 * c);
                carry[c] = error >> 1;
                next[c - 4] = static_cast<int16_t>(under[c] + (error >> 2));
                under[c] = error - (error >> 1) - (error >> 2);
            }
#endif
            out[0] = static_cast<uint8_t>(value);
            out[1] = static_cast<uint8_t>(value >> 8);
            in += 4;
            out += 2;
            owed += 4;
            next += 4;
        }

        // What the last pixel owes the one below it.
        void finish() {
#ifdef __SSE2__
            _mm_storel_epi64(reinterpret_cast<__m128i*>(next - 4), under);
#else
            for (int c = 0; c < 3; ++c)
                next[c - 4] = static_cast<int16_t>(under[c]);
#endif
        }
    };

    // Reduces the next rows (1 to most_rows) of count pixels each, B, G, R,
    // A at in[r], to ARGB1555 at out[r].
    void reduce_rows(const uint8_t* const* in, int rows, int64_t count, uint8_t* const* out) {
        row_walk walks[most_rows] = {};
        for (int r = 0; r < rows; ++r)
            walks[r] = {in[r], out[r], errors[r].data() + 4, errors[r + 1].data() + 4};
        const int64_t lag = 2;
        const int64_t steps = count + lag * (rows - 1);
        auto at = [&](int64_t t) {
            for (int r = 0; r < rows; ++r) {
                const int64_t x = t - lag * r;
                if (x < 0 || x >= count)
                    continue;
                walks[r].step();
                if (x == count - 1)
                    walks[r].finish();
            }
        };
        // Every row steps together in the middle.
        const int64_t together_from = lag * (rows - 1);
        int64_t t = 0;
        for (; t < std::min(together_from, steps); ++t)
            at(t);
        if (rows == most_rows)
            for (; t < count - 1; ++t)
                for (row_walk& walk : walks)
                    walk.step();
        for (; t < steps; ++t)
            at(t);
        errors[0].swap(errors[rows]);
        for (int r = 1; r <= most_rows; ++r)
            std::fill(errors[r].begin(), errors[r].end(), 0);
    }

    void reduce_row(const uint8_t* in, int64_t count, uint8_t* out) {
        reduce_rows(&in, 1, count, &out);
    }
};
