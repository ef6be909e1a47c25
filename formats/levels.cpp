#include "formats/levels.h"

#include "formats/image_buffer.h"

#include <algorithm>
#include <cstring>

namespace {

// Pixels of the first levels of a frame: level k holds w * h / 4^k.
int64_t frame_pixels_before(int levels, int width, int height) {
    int64_t total = 0;
    int64_t level = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0);
    for (int k = 0; k < levels && level > 0; ++k) {
        total += level;
        level /= 4;
    }
    return total;
}

} // namespace

level_size level_dimensions(int width, int height, int level) {
    if (level < 1 || level > 31 || width <= 0 || height <= 0)
        return {};
    return {width >> (level - 1), height >> (level - 1)};
}

int64_t level_offset(level_layout layout, int width, int height, int bpp, int level) {
    if (level <= 1)
        return 0;
    if (layout == level_layout::frame_pixels)
        return 2 * frame_pixels_before(level - 1, width, height);
    return mip_chain_bytes(level - 1, width, height, bpp);
}

int first_empty_level(int width, int height, int levels) {
    for (int level = 1; level <= levels; ++level)
        if (level_dimensions(width, height, level).pixels() == 0)
            return level;
    return 0;
}

box_blocks box_level_blocks(int64_t width, int64_t height, int bpp, int level) {
    box_blocks blocks;
    blocks.shift = std::max(level - 1, 1);
    if (blocks.shift > 15 || width <= 0 || height <= 0)
        return blocks;
    const int64_t edge = int64_t{1} << blocks.shift;
    blocks.columns = width / edge;
    const int64_t grid = blocks.columns * (height / edge);
    const int64_t first_bytes = width * height * bpp / 8;
    blocks.count = std::max<int64_t>(std::min(grid, first_bytes / (edge * edge) / 2), 0);
    return blocks;
}

int64_t layout_chain_bytes(level_layout layout, int levels, int width, int height) {
    return level_offset(layout, width, height, 16, levels + 1);
}

std::vector<int64_t> layout_level_ends(level_layout layout, int levels, int width, int height) {
    std::vector<int64_t> ends;
    int64_t last = 0;
    for (int level = 1; level <= levels && level <= 31; ++level) {
        const int64_t end = level_offset(layout, width, height, 16, level + 1);
        if (end <= last)
            break;
        ends.push_back(end);
        last = end;
    }
    return ends;
}

void move_levels(const uint8_t* in, size_t in_size, level_layout from, level_layout to, int levels,
                 int width, int height, std::vector<uint8_t>& out) {
    out.assign(
        static_cast<size_t>(std::max<int64_t>(layout_chain_bytes(to, levels, width, height), 0)),
        0);
    for (int level = 1; level <= levels; ++level) {
        const int64_t bytes = 2 * level_dimensions(width, height, level).pixels();
        if (bytes <= 0)
            break;
        const int64_t source = level_offset(from, width, height, 16, level);
        const int64_t target = level_offset(to, width, height, 16, level);
        const int64_t there = std::clamp<int64_t>(static_cast<int64_t>(in_size) - source, 0, bytes);
        const int64_t room =
            std::clamp<int64_t>(static_cast<int64_t>(out.size()) - target, 0, bytes);
        const int64_t copied = std::min(there, room);
        if (copied > 0)
            std::memcpy(out.data() + target, in + source, static_cast<size_t>(copied));
    }
}
