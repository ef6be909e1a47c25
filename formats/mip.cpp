#include "formats/mip.h"

#include "formats/bytes.h"
#include "formats/levels.h"
#include "formats/mip_quality.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace {

// Levels whose blocks are at most 32 x 32 pixels are built together, band by
// band of first-level rows, each from the block sums of the level below it:
// the sums of a block are the sums of its four quarters, so every level comes
// out as if averaged from the first level directly.
constexpr int largest_band_shift = 5;

// Where one level is written and how many of its pixels.
struct level_target {
    int shift = 0;       // block edge 2^shift
    int64_t offset = 0;  // byte offset in data
    int64_t columns = 0; // blocks across the first level
    int64_t count = 0;   // pixels written, row by row over the blocks
};

// The block grid of a level and how much of it fits at offset: a level never
// reads past the first level nor writes past the block.
level_target plan_level(const image_buffer& image, int64_t offset, int level) {
    const box_blocks blocks = box_level_blocks(image.width, image.height, image.bpp, level);
    level_target target{blocks.shift, offset, blocks.columns, 0};
    const int64_t size = static_cast<int64_t>(image.data.size());
    if (blocks.count <= 0 || int64_t{image.width} * image.height * 2 > size || offset < 0 ||
        offset > size)
        return target;
    target.count = std::max<int64_t>(std::min(blocks.count, (size - offset) / 2), 0);
    return target;
}

inline uint16_t pixel_value(unsigned red, unsigned green, unsigned blue, bool opaque) {
    return static_cast<uint16_t>((opaque ? 0x8000u : 0u) | red << 10 | green << 5 | blue);
}

// The block sums of a band's rows of one level, one word a block: blue,
// green and red sums and the count of opaque pixels in 16-bit lanes. A block
// of 32 x 32 sums to at most 31 x 1024 in a lane, so lanes never spill.
struct band_sums {
    int64_t columns = 0;
    std::vector<uint64_t> cells;

    void resize(int64_t rows, int64_t across) {
        columns = across;
        cells.assign(static_cast<size_t>(rows * across), 0);
    }
};

inline uint64_t spread(unsigned value) {
    return (value & 0x1F) | uint64_t{(value >> 5) & 0x1F} << 16 |
           uint64_t{(value >> 10) & 0x1F} << 32 | uint64_t{value >> 15} << 48;
}

// The sums of the 2 x 2 blocks of rows first-level rows from band_start on.
void sum_first_level(const image_buffer& image, int64_t band_start, int64_t rows, band_sums& sums) {
    const int64_t width = image.width;
    sums.resize(rows, width / 2);
    const uint8_t* data = image.data.data();
    for (int64_t r = 0; r < rows; ++r) {
        const uint8_t* top = data + 2 * (band_start + 2 * r) * width;
        const uint8_t* bottom = top + 2 * width;
        uint64_t* cell = sums.cells.data() + r * sums.columns;
        int64_t c = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Two pixels of a row in one word: their channels add lane by lane.
            for (; c < sums.columns; ++c, top += 4, bottom += 4) {
                uint32_t upper, lower;
                std::memcpy(&upper, top, 4);
                std::memcpy(&lower, bottom, 4);
                constexpr uint32_t lanes = 0x001F001F;
                const uint32_t blue = (upper & lanes) + (lower & lanes);
                const uint32_t green = (upper >> 5 & lanes) + (lower >> 5 & lanes);
                const uint32_t red = (upper >> 10 & lanes) + (lower >> 10 & lanes);
                const bool opaque = ((upper | lower) & 0x80008000u) != 0;
                cell[c] = uint64_t{(blue & 0xFFFF) + (blue >> 16)} |
                          uint64_t{(green & 0xFFFF) + (green >> 16)} << 16 |
                          uint64_t{(red & 0xFFFF) + (red >> 16)} << 32 | uint64_t{opaque} << 48;
            }
        }
        for (; c < sums.columns; ++c, top += 4, bottom += 4)
            cell[c] = spread(read_u16(top)) + spread(read_u16(top + 2)) + spread(read_u16(bottom)) +
                      spread(read_u16(bottom + 2));
    }
}

// The next level's sums: each block from the four below it.
void sum_quarters(const band_sums& below, int64_t rows, band_sums& sums) {
    sums.resize(rows, below.columns / 2);
    for (int64_t r = 0; r < rows; ++r) {
        const uint64_t* top = below.cells.data() + 2 * r * below.columns;
        const uint64_t* bottom = top + below.columns;
        uint64_t* cell = sums.cells.data() + r * sums.columns;
        for (int64_t c = 0; c < sums.columns; ++c)
            cell[c] = top[2 * c] + top[2 * c + 1] + bottom[2 * c] + bottom[2 * c + 1];
    }
}

// Writes the band's rows of a level: averages rounded down.
void write_band(image_buffer& image, const level_target& target, const band_sums& sums,
                int64_t first_row, int64_t rows) {
    const unsigned shift = static_cast<unsigned>(2 * target.shift);
    uint8_t* out = image.data.data() + target.offset;
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t start = (first_row + r) * target.columns;
        const int64_t across = std::min(target.columns, target.count - start);
        const uint64_t* cell = sums.cells.data() + r * sums.columns;
        for (int64_t c = 0; c < across; ++c) {
            const uint64_t sum = cell[c];
            write_u16(out + 2 * (start + c),
                      pixel_value(static_cast<unsigned>((sum >> 32) & 0xFFFF) >> shift,
                                  static_cast<unsigned>((sum >> 16) & 0xFFFF) >> shift,
                                  static_cast<unsigned>(sum & 0xFFFF) >> shift, (sum >> 48) != 0));
        }
    }
}

// Builds the levels of the targets (edges of 2 to 32) band by band. A band
// starts at a multiple of the largest edge, so it holds whole blocks of
// every level.
void build_in_bands(image_buffer& image, const std::vector<level_target>& targets) {
    int top_shift = 1;
    for (const level_target& target : targets)
        top_shift = std::max(top_shift, target.shift);
    const int64_t band = int64_t{1} << top_shift;
    band_sums below, sums;
    for (int64_t start = 0; start < image.height; start += band) {
        const int64_t band_rows = std::min<int64_t>(band, image.height - start);
        sum_first_level(image, start, band_rows / 2, below);
        for (int shift = 1; shift <= top_shift; ++shift) {
            if (shift > 1) {
                sum_quarters(below, band_rows >> shift, sums);
                std::swap(below, sums);
            }
            for (const level_target& target : targets)
                if (target.shift == shift)
                    write_band(image, target, below, start >> shift, band_rows >> shift);
        }
    }
}

// A level of blocks larger than 32 x 32, straight from the first level.
void build_directly(image_buffer& image, const level_target& target) {
    const int64_t edge = int64_t{1} << target.shift;
    const int64_t width = image.width;
    const uint8_t* first = image.data.data();
    uint8_t* out = image.data.data() + target.offset;
    const unsigned shift = static_cast<unsigned>(2 * target.shift);
    for (int64_t j = 0; j < target.count; ++j) {
        const int64_t top_left = (j / target.columns) * edge * width + (j % target.columns) * edge;
        // 64-bit sums: 31 times the largest block exceeds 32 bits.
        uint64_t red = 0, green = 0, blue = 0;
        bool opaque = false;
        for (int64_t y = 0; y < edge; ++y) {
            const uint8_t* pixel = first + 2 * (top_left + y * width);
            for (int64_t x = 0; x < edge; ++x, pixel += 2) {
                const unsigned value = read_u16(pixel);
                blue += value & 0x1F;
                green += (value >> 5) & 0x1F;
                red += (value >> 10) & 0x1F;
                opaque = opaque || (value & 0x8000) != 0;
            }
        }
        write_u16(out + 2 * j, pixel_value(static_cast<unsigned>(red >> shift),
                                           static_cast<unsigned>(green >> shift),
                                           static_cast<unsigned>(blue >> shift), opaque));
    }
}

void build_levels(image_buffer& image, const std::vector<level_target>& targets) {
    std::vector<level_target> banded;
    for (const level_target& target : targets) {
        if (target.count <= 0)
            continue;
        if (target.shift <= largest_band_shift)
            banded.push_back(target);
        else
            build_directly(image, target);
    }
    if (!banded.empty())
        build_in_bands(image, banded);
}

} // namespace

int32_t make_mip_level(image_buffer& image, int64_t offset, int level) {
    const level_target target = plan_level(image, offset, level);
    if (target.count <= 0)
        return 0;
    build_levels(image, {target});
    return static_cast<int32_t>(2 * target.count);
}

void build_mip_chain(image_buffer& image) {
    std::vector<level_target> targets;
    for (int level = 2; level <= image.num_mipmaps; ++level) {
        const int64_t start = mip_chain_bytes(level - 1, image.width, image.height, image.bpp);
        const level_target target = plan_level(image, start, level);
        if (target.count <= 0)
            break; // no lower level holds a whole pixel either
        targets.push_back(target);
    }
    build_levels(image, targets);
}

kgf_status make_kgf_chain(image_buffer& destination, const image_buffer& source, int levels,
                          kgf_quality quality) {
    if (quality != kgf_quality::none)
        return make_quality_chain(destination, source, levels, quality);
    destination.num_mipmaps = static_cast<int16_t>(levels);
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = 16;
    if (allocate_image_data(destination, mip_chain_bytes(destination)) != kgf_status::ok)
        return kgf_status::no_memory;
    convert_pixels(destination, source);
    build_mip_chain(destination);
    return kgf_status::ok;
}
