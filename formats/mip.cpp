#include "formats/mip.h"

#include <algorithm>

int32_t make_mip_level(image_buffer& image, int64_t offset, int level) {
    // Block edge 2^(level - 1), doubled from 1 at least once. An edge past
    // the largest side leaves no whole block.
    const int shift = std::max(level - 1, 1);
    if (shift > 15 || image.width <= 0 || image.height <= 0)
        return 0;
    const int64_t edge = int64_t{1} << shift;
    const int64_t width = image.width;
    const int64_t height = image.height;

    // The level is the grid of whole blocks inside the first level, top row
    // first; pixels of a partial block at the right or bottom are left out.
    const int64_t columns = width / edge;
    const int64_t grid = columns * (height / edge);
    const int64_t first_bytes = width * height * image.bpp / 8;
    int64_t count = std::min(grid, first_bytes / (edge * edge) / 2);

    // Reads stay inside the first level, writes inside the block.
    const int64_t size = static_cast<int64_t>(image.data.size());
    if (width * height * 2 > size || offset < 0 || offset > size)
        return 0;
    count = std::min(count, (size - offset) / 2);
    if (count <= 0)
        return 0;

    const uint8_t* first = image.data.data();
    uint8_t* out = image.data.data() + offset;
    const int64_t area = edge * edge;
    for (int64_t j = 0; j < count; ++j) {
        const int64_t top_left = (j / columns) * edge * width + (j % columns) * edge;
        // 64-bit sums: 31 times the largest block exceeds 32 bits.
        uint64_t red = 0, green = 0, blue = 0;
        bool opaque = false;
        for (int64_t y = 0; y < edge; ++y) {
            const uint8_t* pixel = first + 2 * (top_left + y * width);
            for (int64_t x = 0; x < edge; ++x, pixel += 2) {
                const unsigned value = pixel[0] | (pixel[1] << 8);
                blue += value & 0x1F;
                green += (value >> 5) & 0x1F;
                red += (value >> 10) & 0x1F;
                opaque = opaque || (value & 0x8000) != 0;
            }
        }
        // An average rounds down; one opaque pixel keeps the block opaque.
        const unsigned value = (opaque ? 0x8000u : 0u) | static_cast<unsigned>(red / area) << 10 |
                               static_cast<unsigned>(green / area) << 5 |
                               static_cast<unsigned>(blue / area);
        out[2 * j] = static_cast<uint8_t>(value & 0xFF);
        out[2 * j + 1] = static_cast<uint8_t>(value >> 8);
    }
    return static_cast<int32_t>(2 * count);
}

void build_mip_chain(image_buffer& image) {
    for (int level = 2; level <= image.num_mipmaps; ++level) {
        const int64_t start = mip_chain_bytes(level - 1, image.width, image.height, image.bpp);
        if (make_mip_level(image, start, level) == 0)
            break; // no lower level holds a whole pixel either
    }
}

int make_kgf_chain(image_buffer& destination, const image_buffer& source, int levels) {
    destination.num_mipmaps = static_cast<int16_t>(levels);
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = 16;
    if (!allocate_image_data(destination, mip_chain_bytes(destination)))
        return 0;
    convert_pixels(destination, source);
    build_mip_chain(destination);
    return 1;
}
