#include "formats/tga.h"

#include "formats/allocation.h"
#include "formats/bytes.h"
#include "formats/limits.h"
#include "formats/rle.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr uint8_t colour_mapped = 1, true_colour = 2, greyscale = 3;
constexpr uint8_t run_length_flag = 8;
constexpr uint8_t right_to_left = 0x10, top_to_bottom = 0x20;
constexpr uint8_t reserved_interleaving = 0xC0;
constexpr uint8_t map_present = 1;
constexpr int packet_pixels = 128; // the most one run-length packet holds
constexpr int index_values = 256;  // what an 8-bit index or grey value can say

int base_type(const tga_header& header) {
    return header.image_type & ~run_length_flag;
}

bool run_length(const tga_header& header) {
    return (header.image_type & run_length_flag) != 0;
}

int bytes_of(int bits) {
    return (bits + 7) / 8;
}

int64_t colour_map_bytes(const tga_header& header) {
    if (header.colour_map_type != map_present)
        return 0;
    return int64_t{header.map_length} * bytes_of(header.map_entry_size);
}

// The depth of the picture in memory: a map or a grey value becomes colour.
int picture_bpp(const tga_header& header) {
    switch (base_type(header)) {
    case colour_mapped:
        return header.map_entry_size == 32 ? 32 : 24;
    case greyscale:
        return 24;
    default:
        return header.pixel_depth == 15 ? 16 : header.pixel_depth;
    }
}

bool is_colour_depth(int bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool layout_supported(const tga_header& header) {
    if (header.image_type & ~(run_length_flag | 3))
        return false;
    switch (base_type(header)) {
    case colour_mapped:
        return header.colour_map_type == map_present && header.map_length > 0 &&
               header.pixel_depth == 8 && is_colour_depth(header.map_entry_size);
    case true_colour:
        return header.colour_map_type <= map_present && is_colour_depth(header.pixel_depth);
    case greyscale:
        return header.colour_map_type <= map_present && header.pixel_depth == 8;
    default:
        return false;
    }
}

// 5-bit channel to 8 bits, as the pixel conversion expands it.
uint8_t expand5(unsigned x) {
    return static_cast<uint8_t>((x << 3) | (x >> 2));
}

// What each 8-bit index (or grey value) stands for, as a pixel of the
// picture's depth. Entries outside the file's map are marked, so that a
// picture is checked with one pass and no branch per pixel.
struct colour_table {
    uint8_t entries[index_values][4] = {};
    uint8_t outside[index_values] = {};
};

void fill_grey_table(colour_table& table) {
    for (int value = 0; value < index_values; ++value)
        std::memset(table.entries[value], value, 3);
}

// Takes the map entries an 8-bit index can reach; skips the rest.
kgf_status read_colour_table(byte_reader& reader, const tga_header& header, colour_table& table) {
    const int entry_bytes = bytes_of(header.map_entry_size);
    const int reachable =
        std::clamp(index_values - int{header.map_first_entry}, 0, int{header.map_length});
    uint8_t stored[index_values * 4];
    const size_t wanted = static_cast<size_t>(reachable) * entry_bytes;
    if (read_bytes(reader, stored, wanted) != wanted ||
        skip_bytes(reader, colour_map_bytes(header) - static_cast<int64_t>(wanted)) !=
            kgf_status::ok)
        return short_read_status(reader);

    std::fill(std::begin(table.outside), std::end(table.outside), uint8_t{1});
    for (int entry = 0; entry < reachable; ++entry) {
        const uint8_t* in = stored + entry * entry_bytes;
        const int index = header.map_first_entry + entry;
        uint8_t* out = table.entries[index];
        table.outside[index] = 0;
        if (entry_bytes == 2) {
            // 15 and 16 bits alike: the top bit is not taken as alpha.
            const unsigned value = read_u16(in);
            out[0] = expand5(value & 0x1F);
            out[1] = expand5((value >> 5) & 0x1F);
            out[2] = expand5((value >> 10) & 0x1F);
        } else {
            std::memcpy(out, in, static_cast<size_t>(entry_bytes));
        }
    }
    return kgf_status::ok;
}

// Indices to pixels, front to back. The indices lie at the end of the same
// block, so each is read before its bytes are overwritten. Returns non-zero
// when an index lies outside the map.
template <int out_bytes>
uint8_t look_up(uint8_t* out, const uint8_t* indices, int64_t count, const colour_table& table) {
    uint8_t outside = 0;
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t index = indices[i];
        outside |= table.outside[index];
        std::memcpy(out + i * out_bytes, table.entries[index], out_bytes);
    }
    return outside;
}

// A 15-bit pixel has no alpha: it becomes opaque ARGB1555.
void set_alpha_bits(uint8_t* pixels, int64_t count) {
    for (int64_t i = 0; i < count; ++i)
        pixels[2 * i + 1] |= 0x80;
}

// Expands count stored pixels of pixel_bytes each from packets.
template <int pixel_bytes>
kgf_status unpack(const std::vector<uint8_t>& packets, uint8_t* out, int64_t count) {
    const uint8_t* in = packets.data();
    const size_t size = packets.size();
    size_t at = 0;
    int64_t done = 0;
    while (done < count) {
        if (at == size)
            return kgf_status::bad_run_length; // the packets end before the picture
        const uint8_t head = in[at++];
        const int run = (head & 0x7F) + 1;
        if (run > count - done)
            return kgf_status::bad_run_length; // past the last pixel
        uint8_t* target = out + done * pixel_bytes;
        if (head & 0x80) {
            if (size - at < static_cast<size_t>(pixel_bytes))
                return kgf_status::bad_run_length;
            for (int i = 0; i < run; ++i)
                std::memcpy(target + i * pixel_bytes, in + at, pixel_bytes);
            at += pixel_bytes;
        } else {
            const size_t bytes = static_cast<size_t>(run) * pixel_bytes;
            if (size - at < bytes)
                return kgf_status::bad_run_length;
            std::memcpy(target, in + at, bytes);
            at += bytes;
        }
        done += run;
    }
    return kgf_status::ok;
}

// Reads the run-length stream with one read and expands it into out.
kgf_status read_packets(byte_reader& reader, uint8_t* out, int64_t count, int pixel_bytes) {
    // The longest stream: one packet per pixel.
    const int64_t longest = count * (1 + pixel_bytes);
    std::vector<uint8_t> packets;
    if (read_block(reader, std::min(longest, bytes_left(reader)), packets) != kgf_status::ok)
        return kgf_status::no_memory;
    if (reader.failed)
        return kgf_status::io_error;
    switch (pixel_bytes) {
    case 1:
        return unpack<1>(packets, out, count);
    case 2:
        return unpack<2>(packets, out, count);
    case 3:
        return unpack<3>(packets, out, count);
    default:
        return unpack<4>(packets, out, count);
    }
}

// Turns each row's pixels end for end, in place.
template <int pixel_bytes> void mirror_rows(image_buffer& image) {
    const size_t row_bytes = static_cast<size_t>(image.width) * pixel_bytes;
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.data.data() + static_cast<size_t>(y) * row_bytes;
        for (int left = 0, right = image.width - 1; left < right; ++left, --right) {
            uint8_t spare[pixel_bytes];
            std::memcpy(spare, row + left * pixel_bytes, pixel_bytes);
            std::memcpy(row + left * pixel_bytes, row + right * pixel_bytes, pixel_bytes);
            std::memcpy(row + right * pixel_bytes, spare, pixel_bytes);
        }
    }
}

// The descriptor's origin bits as the reader takes them. The reserved
// interleaving value marks no real descriptor: the writer gives 16-bit
// pictures 248 (bpp - 24). Such files stay bottom row first, left to right,
// as they have always been read.
uint8_t origin_bits(const tga_header& header) {
    if ((header.descriptor & reserved_interleaving) == reserved_interleaving)
        return 0;
    return static_cast<uint8_t>(header.descriptor & (right_to_left | top_to_bottom));
}

// Brings the rows into the order asked for and every row to left to right.
void orient(image_buffer& image, uint8_t origin, row_order rows) {
    const int pixel_bytes = image.bpp / 8;
    const bool stored_top_first = (origin & top_to_bottom) != 0;
    const bool wanted_top_first = rows == row_order::top_first;
    if (stored_top_first != wanted_top_first)
        reverse_rows(image.data.data(), static_cast<size_t>(image.width) * pixel_bytes,
                     image.height);
    if (origin & right_to_left) {
        if (pixel_bytes == 2)
            mirror_rows<2>(image);
        else if (pixel_bytes == 3)
            mirror_rows<3>(image);
        else
            mirror_rows<4>(image);
    }
}

} // namespace

tga_header parse_tga_header(const uint8_t bytes[tga_header_size]) {
    tga_header header;
    header.id_length = bytes[0];
    header.colour_map_type = bytes[1];
    header.image_type = bytes[2];
    header.map_first_entry = read_u16(bytes + 3);
    header.map_length = read_u16(bytes + 5);
    header.map_entry_size = bytes[7];
    header.x_origin = read_u16(bytes + 8);
    header.y_origin = read_u16(bytes + 10);
    header.width = read_s16(bytes + 12);
    header.height = read_s16(bytes + 14);
    header.pixel_depth = bytes[16];
    header.descriptor = bytes[17];
    return header;
}

kgf_status check_tga_header(const tga_header& header) {
    // Signed 16-bit sides: the largest side is never passed, a negative one is.
    if (header.width < 0 || header.height < 0)
        return kgf_status::bad_image_size;
    if (!layout_supported(header))
        return kgf_status::unsupported_tga_type;
    const int64_t block = int64_t{header.width} * header.height * (picture_bpp(header) / 8);
    if (block > largest_level_bytes)
        return kgf_status::bad_image_size;
    return kgf_status::ok;
}

kgf_status read_tga_header(byte_reader& reader, tga_header& header) {
    uint8_t bytes[tga_header_size];
    if (read_bytes(reader, bytes, sizeof bytes) != sizeof bytes)
        return short_read_status(reader); // no sizes to go by
    header = parse_tga_header(bytes);
    return check_tga_header(header);
}

bool tga_rows_convert_directly(const tga_header& header) {
    return header.image_type == true_colour &&
           (header.pixel_depth == 24 || header.pixel_depth == 32) &&
           (origin_bits(header) & right_to_left) == 0;
}

kgf_status decode_tga_to_16(byte_reader& reader, const tga_header& header, int levels,
                            image_buffer& chain) {
    init_image_buffer(chain, 16);
    chain.num_mipmaps = static_cast<int16_t>(levels);
    chain.width = header.width;
    chain.height = header.height;
    kgf_status skipped = skip_bytes(reader, header.id_length);
    if (skipped == kgf_status::ok)
        skipped = skip_bytes(reader, colour_map_bytes(header));
    if (skipped != kgf_status::ok)
        return skipped;
    const int64_t pixels = int64_t{header.width} * header.height;
    const int stored_bytes = bytes_of(header.pixel_depth);
    // Sizes the file cannot back are refused before the chain is had.
    if (bytes_left(reader) < pixels * stored_bytes)
        return kgf_status::missing_data;
    if (try_allocate_block(chain.data, mip_chain_bytes(chain)) != kgf_status::ok)
        return kgf_status::no_memory;
    const size_t width = static_cast<size_t>(header.width);
    if (pixels == 0 || static_cast<int64_t>(chain.data.size()) < pixels * 2)
        return kgf_status::ok;
    const bool stored_top_first = (origin_bits(header) & top_to_bottom) != 0;
    // Bands of rows go through one small block to their place in the chain.
    const size_t row_bytes = width * static_cast<size_t>(stored_bytes);
    const size_t band_rows = std::max<size_t>(1, (size_t{256} << 10) / row_bytes);
    std::vector<uint8_t> band(band_rows * row_bytes);
    for (int row = 0; row < header.height;) {
        const int rows = static_cast<int>(
            std::min<int64_t>(static_cast<int64_t>(band_rows), header.height - row));
        const size_t bytes = static_cast<size_t>(rows) * row_bytes;
        if (read_bytes(reader, band.data(), bytes) != bytes)
            return short_read_status(reader);
        for (int r = 0; r < rows; ++r) {
            const int stored_row = row + r;
            const int target = stored_top_first ? stored_row : header.height - 1 - stored_row;
            pixels_to_16(chain.data.data() + static_cast<size_t>(target) * width * 2,
                         band.data() + static_cast<size_t>(r) * row_bytes, width,
                         header.pixel_depth);
        }
        row += rows;
    }
    return kgf_status::ok;
}

kgf_status decode_tga(byte_reader& reader, image_buffer& image, row_order rows) {
    tga_header header;
    const kgf_status checked = read_tga_header(reader, header);
    if (checked != kgf_status::ok)
        return checked;
    return decode_tga_after_header(reader, header, image, rows);
}

kgf_status decode_tga_after_header(byte_reader& reader, const tga_header& header,
                                   image_buffer& image, row_order rows) {
    image.width = header.width;
    image.height = header.height;
    image.bpp = static_cast<uint8_t>(picture_bpp(header));

    const kgf_status skipped = skip_bytes(reader, header.id_length);
    if (skipped != kgf_status::ok)
        return skipped;
    colour_table table;
    const int type = base_type(header);
    if (type == colour_mapped) {
        const kgf_status status = read_colour_table(reader, header, table);
        if (status != kgf_status::ok)
            return status;
    } else {
        const kgf_status map_skipped = skip_bytes(reader, colour_map_bytes(header));
        if (map_skipped != kgf_status::ok)
            return map_skipped;
        if (type == greyscale)
            fill_grey_table(table);
    }

    const int64_t pixels = int64_t{header.width} * header.height;
    const int stored_bytes = bytes_of(header.pixel_depth);
    const int64_t stored_size = pixels * stored_bytes;
    const int64_t block_size = pixels * (image.bpp / 8);
    // Sizes the file cannot back are refused before the block is had.
    if (!run_length(header) && bytes_left(reader) < stored_size)
        return kgf_status::missing_data;
    const int64_t fewest_packets = (pixels + packet_pixels - 1) / packet_pixels;
    if (run_length(header) && bytes_left(reader) < fewest_packets * (1 + stored_bytes))
        return kgf_status::bad_run_length;
    if (try_allocate_block(image.data, block_size) != kgf_status::ok)
        return kgf_status::no_memory;
    if (pixels == 0)
        return kgf_status::ok;

    // Stored pixels go to the end of the block and are widened forwards.
    uint8_t* stored = image.data.data() + (block_size - stored_size);
    if (!run_length(header)) {
        if (read_bytes(reader, stored, static_cast<size_t>(stored_size)) !=
            static_cast<size_t>(stored_size))
            return short_read_status(reader);
    } else {
        const kgf_status status = read_packets(reader, stored, pixels, stored_bytes);
        if (status != kgf_status::ok)
            return status;
    }

    if (type == colour_mapped || type == greyscale) {
        const uint8_t outside = image.bpp == 32
                                    ? look_up<4>(image.data.data(), stored, pixels, table)
                                    : look_up<3>(image.data.data(), stored, pixels, table);
        if (outside)
            return kgf_status::bad_colour_index;
    } else if (header.pixel_depth == 15) {
        set_alpha_bits(image.data.data(), pixels);
    }
    orient(image, origin_bits(header), rows);
    return kgf_status::ok;
}

void build_tga_header(uint8_t header[tga_header_size], const image_buffer& image) {
    for (int i = 0; i < tga_header_size; ++i)
        header[i] = 0;
    header[2] = true_colour;
    write_u16(header + 12, static_cast<uint16_t>(image.width));
    write_u16(header + 14, static_cast<uint16_t>(image.height));
    header[16] = image.bpp;
    header[17] = static_cast<uint8_t>(image.bpp - 24); // alpha bits, origin lower left
}

kgf_status encode_tga(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset) {
    if (image.width < 0 || image.height < 0 || offset < 0)
        return kgf_status::bad_image_size;
    const size_t pixel_bytes = image.bpp / 8;
    const size_t row_bytes = static_cast<size_t>(image.width) * pixel_bytes;
    const size_t level_bytes = row_bytes * static_cast<size_t>(image.height);
    if (static_cast<uint64_t>(offset) > image.data.size() ||
        level_bytes > image.data.size() - static_cast<size_t>(offset))
        return kgf_status::bad_image_size;
    if (with_memory([&] { out.reserve(out.size() + tga_header_size + level_bytes); }) !=
        kgf_status::ok)
        return kgf_status::no_memory;

    uint8_t header[tga_header_size];
    build_tga_header(header, image);
    out.insert(out.end(), header, header + tga_header_size);
    // Memory holds the top row first; the file gets the bottom row first.
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.data.data() + offset + static_cast<size_t>(y) * row_bytes;
        out.insert(out.end(), row, row + row_bytes);
    }
    return kgf_status::ok;
}
