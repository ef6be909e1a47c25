// One picture with its chain of mip levels, held in one zero-filled block.
#pragma once

#include "formats/status.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The order a picture's rows are held in: the conversions hold the top row
// first, the preview draws the bottom row first.
enum class row_order : uint8_t { top_first, bottom_first };

struct image_buffer {
    int16_t num_mipmaps = 1; // levels held in data; 1 is the full image only
    int16_t width = 0;       // first level, pixels
    int16_t height = 0;
    uint8_t bpp = 0;           // 16 (ARGB1555), 24 (B,G,R) or 32 (B,G,R,A)
    std::vector<uint8_t> data; // all levels back to back; empty when released
};

// Resets the record: one level, no size, the given depth, no pixel block.
image_buffer& init_image_buffer(image_buffer& image, uint8_t depth);

// Bytes of a chain: level n (1-based) holds L / 4^(n-1) bytes with
// L = width * height * bpp / 8. Non-positive sizes or level counts give 0.
int64_t mip_chain_bytes(const image_buffer& image);
int64_t mip_chain_bytes(int num_mipmaps, int width, int height, int bpp);

// 1 when a block of the given size can be addressed where sizes hold at most
// largest bytes (size_t: 4 GiB less one on a 32-bit build).
int block_size_fits(int64_t bytes, uint64_t largest = SIZE_MAX);

// Makes block a zero-filled block of the given size. Returns no_memory
// (block empty) when it cannot be had.
kgf_status try_allocate_block(std::vector<uint8_t>& block, int64_t bytes);

// Makes block longer, the new bytes zero. Returns no_memory (block
// unchanged) when it cannot be had.
kgf_status grow_block(std::vector<uint8_t>& block, int64_t bytes);

// Allocates a zero-filled block of the given size as the image's data.
// Returns no_memory when the block cannot be had; the data is then empty.
kgf_status allocate_image_data(image_buffer& image, int64_t bytes);

// Frees the pixel block (the record's "pointer" goes back to null).
void release_image_data(image_buffer& image);

// Converts count pixels of 24 bits (B, G, R: opaque) or 32 bits (B, G, R,
// A: opaque unless A is 0) to ARGB1555, each channel keeping its top bits.
void pixels_to_16(uint8_t* out, const uint8_t* in, size_t count, int from_bpp);

// Fills destination's block from source's, as chosen by the two depths.
// Reads and writes stay inside both blocks whatever their fields claim.
void convert_pixels(image_buffer& destination, const image_buffer& source);

// Fills destination's block from source's level by level: each level's
// pixels (level_dimensions) converted from where the chain rule places it in
// the source to where it places it in the destination, so that a level
// whose bytes end inside a pixel shifts none of the next. A 16-bit source
// gives its levels, the others their first. Bytes outside the levels stay
// as they are.
void convert_levels(image_buffer& destination, const image_buffer& source);
