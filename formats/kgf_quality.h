// How a KGF chain is made from its picture, beyond the plain rules: each
// flag is one option, all off by default.
#pragma once

#include <cstdint>

enum class kgf_quality : uint8_t {
    none = 0,
    dither = 1,     // an error-diffusion dither where 8-bit channels become 5 bits
    srgb_mips = 2,  // lower levels averaged in linear light
    alpha_mips = 4, // lower levels keep the first level's coverage; colours
                    // from opaque pixels only, transparent ones filled
    best = 7,
};

constexpr kgf_quality operator|(kgf_quality a, kgf_quality b) {
    return static_cast<kgf_quality>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}

constexpr bool has_quality(kgf_quality set, kgf_quality flag) {
    return (static_cast<uint8_t>(set) & static_cast<uint8_t>(flag)) != 0;
}

// The flags of the low three bits of a byte, the rest ignored.
constexpr kgf_quality quality_from_bits(uint8_t bits) {
    return static_cast<kgf_quality>(bits & static_cast<uint8_t>(kgf_quality::best));
}
