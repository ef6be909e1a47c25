// Where each level of a mip chain lies and how large it is. Level n (from 1)
// of a w x h picture is floor(w / 2^(n-1)) x floor(h / 2^(n-1)) pixels; the
// container decides where it starts. Every reader, writer and converter that
// goes from one level to the next asks here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How a container places its levels: a KGF (and a chain in memory) counts
// bytes, level n starting after the L / 4^k bytes of each level before it; a
// KAF frame counts whole pixels, w * h / 4^k of them a level. The two agree
// wherever the levels end on whole pixels.
enum class level_layout : uint8_t { chain_bytes, frame_pixels };

struct level_size {
    int width = 0;
    int height = 0;
    int64_t pixels() const { return static_cast<int64_t>(width) * height; }
};

// Level n (1-based) of a width x height picture; none below level 1 or past
// 31.
level_size level_dimensions(int width, int height, int level);

// Byte offset at which level n (1-based) starts in a chain of the given depth
// laid out as the layout says (frames are 16-bit).
int64_t level_offset(level_layout layout, int width, int height, int bpp, int level);

// The levels from 1 to levels that hold no pixel: the first of them, or 0
// when every level holds one. Levels only shrink, so the rest are empty too.
int first_empty_level(int width, int height, int levels);

// The box filter's blocks for level n (2 or more; lower counts as 2) of a
// chain whose first level is width x height at bpp bits: blocks 2^(n-1)
// pixels a side, as many across as whole blocks fit, and how many of them,
// row by row, the level holds: no more than the whole blocks, nor than the
// level's share of the chain (L / 4^(n-1) bytes) holds 16-bit pixels. Sides
// that are not multiples of the edge lose their partial blocks.
struct box_blocks {
    int shift = 0;       // block edge 2^shift
    int64_t columns = 0; // blocks across the first level
    int64_t count = 0;   // pixels the level holds
};
box_blocks box_level_blocks(int64_t width, int64_t height, int bpp, int level);

// Copies the pixels of levels 1 to levels of a 16-bit chain from where one
// layout places them to where another does. out gets the chain's size in
// the new layout; bytes that are no level's pixel are zero. Reads stay
// inside in[0, in_size); pixels past it come out zero.
void move_levels(const uint8_t* in, size_t in_size, level_layout from, level_layout to, int levels,
                 int width, int height, std::vector<uint8_t>& out);

// Bytes of a 16-bit chain of that many levels in the layout.
int64_t layout_chain_bytes(level_layout layout, int levels, int width, int height);

// Ends of the non-empty levels of a 16-bit chain in the layout, in bytes from
// its start: where runs of the encoder stop.
std::vector<int64_t> layout_level_ends(level_layout layout, int levels, int width, int height);
