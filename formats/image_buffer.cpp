#include "formats/image_buffer.h"

#include "formats/allocation.h"
#include "formats/bytes.h"
#include "formats/levels.h"
#include "platform/files.h"

#include <algorithm>
#include <bit>
#include <cstring>

image_buffer& init_image_buffer(image_buffer& image, uint8_t depth) {
    image.num_mipmaps = 1;
    image.width = 0;
    image.height = 0;
    image.bpp = depth;
    image.data = std::vector<uint8_t>();
    return image;
}

int64_t mip_chain_bytes(int num_mipmaps, int width, int height, int bpp) {
    if (num_mipmaps <= 0 || width <= 0 || height <= 0 || bpp <= 0)
        return 0;
    const int64_t first = static_cast<int64_t>(width) * height * bpp / 8;
    int64_t total = 0;
    int64_t level = first;
    for (int n = 0; n < num_mipmaps && level > 0; ++n) {
        total += level;
        level /= 4;
    }
    return total;
}

int64_t mip_chain_bytes(const image_buffer& image) {
    return mip_chain_bytes(image.num_mipmaps, image.width, image.height, image.bpp);
}

int block_size_fits(int64_t bytes, uint64_t largest) {
    return bytes >= 0 && static_cast<uint64_t>(bytes) <= largest ? 1 : 0;
}

kgf_status try_allocate_block(std::vector<uint8_t>& block, int64_t bytes) {
    block = std::vector<uint8_t>();
    if (bytes <= 0)
        return kgf_status::ok;
    // A size the platform's sizes cannot hold would be cut short.
    if (!block_size_fits(bytes))
        return kgf_status::no_memory;
    const kgf_status had = with_memory([&] {
        block.reserve(static_cast<size_t>(bytes));
        advise_large_block(block.data(), static_cast<size_t>(bytes));
        block.assign(static_cast<size_t>(bytes), 0);
    });
    if (had != kgf_status::ok)
        block = std::vector<uint8_t>();
    return had;
}

kgf_status grow_block(std::vector<uint8_t>& block, int64_t bytes) {
    if (bytes <= static_cast<int64_t>(block.size()))
        return kgf_status::ok;
    // Exactly the room asked for: a doubled block would cost memory.
    if (!block_size_fits(bytes))
        return kgf_status::no_memory;
    return with_memory([&] {
        block.reserve(static_cast<size_t>(bytes));
        advise_large_block(block.data(), static_cast<size_t>(bytes));
        block.resize(static_cast<size_t>(bytes), 0);
    });
}

kgf_status allocate_image_data(image_buffer& image, int64_t bytes) {
    return try_allocate_block(image.data, bytes);
}

void release_image_data(image_buffer& image) {
    image.data = std::vector<uint8_t>();
}

namespace {

// Whole pixels that lie inside the extent and inside both blocks.
size_t pixels_to_convert(int64_t extent, const image_buffer& destination,
                         const image_buffer& source, size_t destination_bytes,
                         size_t source_bytes) {
    if (extent <= 0)
        return 0;
    const size_t limit = std::min(static_cast<size_t>(extent), destination.data.size());
    return std::min(limit / destination_bytes, source.data.size() / source_bytes);
}

} // namespace

void pixels_to_16(uint8_t* out, const uint8_t* in, size_t count, int from_bpp) {
    size_t i = 0;
    if (from_bpp == 24) {
        for (; i < count; ++i, in += 3, out += 2) {
            write_u16(out, static_cast<uint16_t>(0x8000u | (in[2] >> 3) << 10 | (in[1] >> 3) << 5 |
                                                 in[0] >> 3));
        }
        return;
    }
    if constexpr (std::endian::native == std::endian::little) {
        for (; i < count; ++i, in += 4, out += 2) {
            // B, G, R, A in one word: each channel's top five bits moved to
            // their place.
            uint32_t pixel;
            std::memcpy(&pixel, in, 4);
            const uint16_t value =
                static_cast<uint16_t>((pixel > 0xFFFFFFu ? 0x8000u : 0u) | (pixel >> 9 & 0x7C00u) |
                                      (pixel >> 6 & 0x3E0u) | (pixel >> 3 & 0x1Fu));
            std::memcpy(out, &value, 2);
        }
    }
    for (; i < count; ++i, in += 4, out += 2) {
        // Any alpha but 0 is opaque; each channel keeps its top five bits.
        write_u16(out, static_cast<uint16_t>((in[3] != 0 ? 0x8000u : 0u) | (in[2] >> 3) << 10 |
                                             (in[1] >> 3) << 5 | in[0] >> 3));
    }
}

namespace {

// Converts count whole pixels of one depth to another, as convert_pixels's
// table says for the pair; an unsupported pair converts nothing.
void convert_span(uint8_t* out, int to, const uint8_t* in, int from, size_t count) {
    if (to == from && (to == 16 || to == 24 || to == 32)) {
        if (count > 0)
            std::memcpy(out, in, count * static_cast<size_t>(to / 8));
        return;
    }
    if ((to == 32 || to == 24) && from == 16) {
        // The three 5-bit channels spread to a byte each and expanded at
        // once; the alpha bit becomes 255 or 0.
        auto expanded = [](unsigned value) {
            uint32_t channels = (value & 0x1Fu) | (value & 0x3E0u) << 3 | (value & 0x7C00u) << 6;
            channels = channels << 3 | (channels >> 2 & 0x070707u);
            return channels | (0u - (value >> 15)) << 24;
        };
        if (to == 32) {
            for (size_t i = 0; i < count; ++i, in += 2, out += 4) {
                write_u32(out, expanded(read_u16(in)));
            }
        } else {
            for (size_t i = 0; i < count; ++i, in += 2, out += 3) {
                const uint32_t pixel = expanded(read_u16(in));
                out[0] = static_cast<uint8_t>(pixel);
                out[1] = static_cast<uint8_t>(pixel >> 8);
                out[2] = static_cast<uint8_t>(pixel >> 16);
            }
        }
        return;
    }
    if (to == 16 && (from == 32 || from == 24)) {
        pixels_to_16(out, in, count, from);
        return;
    }
    if ((to == 24 && from == 32) || (to == 32 && from == 24)) {
        const size_t out_step = static_cast<size_t>(to / 8);
        const size_t in_step = static_cast<size_t>(from / 8);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* pixel = in + i * in_step;
            uint8_t* target = out + i * out_step;
            target[0] = pixel[0];
            target[1] = pixel[1];
            target[2] = pixel[2];
            if (to == 32)
                target[3] = 0; // a 24-bit source carries no alpha: written as 0
        }
    }
}

bool converted_pair(int to, int from) {
    const bool known_to = to == 16 || to == 24 || to == 32;
    const bool known_from = from == 16 || from == 24 || from == 32;
    return known_to && known_from;
}

} // namespace

void convert_pixels(image_buffer& destination, const image_buffer& source) {
    const int to = destination.bpp;
    const int from = source.bpp;
    const int64_t whole_chain = mip_chain_bytes(destination);
    const int64_t first_level =
        destination.num_mipmaps <= 0
            ? 0
            : mip_chain_bytes(1, destination.width, destination.height, destination.bpp);

    uint8_t* out = destination.data.data();
    const uint8_t* in = source.data.data();

    if (to == 16 && from == 16) {
        const size_t bytes = std::min({static_cast<size_t>(std::max<int64_t>(whole_chain, 0)),
                                       destination.data.size(), source.data.size()});
        if (bytes > 0)
            std::memcpy(out, in, bytes);
        return;
    }
    if ((to == 24 && from == 24) || (to == 32 && from == 32)) {
        const size_t bytes = std::min({static_cast<size_t>(std::max<int64_t>(first_level, 0)),
                                       destination.data.size(), source.data.size()});
        if (bytes > 0)
            std::memcpy(out, in, bytes);
        return;
    }
    if (!converted_pair(to, from))
        return; // any other pair converts nothing
    // A 16-bit source brings its whole chain; the others their first level.
    const int64_t extent = from == 16 ? whole_chain : first_level;
    const size_t count = pixels_to_convert(extent, destination, source, static_cast<size_t>(to / 8),
                                           static_cast<size_t>(from / 8));
    convert_span(out, to, in, from, count);
}

void convert_levels(image_buffer& destination, const image_buffer& source) {
    const int to = destination.bpp;
    const int from = source.bpp;
    if (!converted_pair(to, from))
        return;
    // Only a 16-bit source holds more than its first level.
    const int levels = from == 16 ? std::min(destination.num_mipmaps, source.num_mipmaps)
                                  : std::min<int>(destination.num_mipmaps, 1);
    for (int level = 1; level <= levels; ++level) {
        const level_size size = level_dimensions(destination.width, destination.height, level);
        if (size.pixels() == 0)
            break;
        const int64_t in_at =
            level_offset(level_layout::chain_bytes, source.width, source.height, from, level);
        const int64_t out_at = level_offset(level_layout::chain_bytes, destination.width,
                                            destination.height, to, level);
        const int64_t in_room = (static_cast<int64_t>(source.data.size()) - in_at) / (from / 8);
        const int64_t out_room =
            (static_cast<int64_t>(destination.data.size()) - out_at) / (to / 8);
        const int64_t count = std::min({size.pixels(), in_room, out_room});
        if (count <= 0)
            break;
        convert_span(destination.data.data() + out_at, to, source.data.data() + in_at, from,
                     static_cast<size_t>(count));
    }
}
