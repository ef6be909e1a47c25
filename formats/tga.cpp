#include "formats/tga.h"

#include "formats/bytes.h"
#include "formats/image_info.h"
#include "formats/limits.h"
#include "formats/rle.h"
#include "platform/message.h"

#include <climits>
#include <cstring>
#include <memory>

kgf_status decode_tga(byte_reader& reader, image_buffer& image, int as_stored) {
    uint8_t header[tga_header_size];
    if (read_bytes(reader, header, sizeof header) != sizeof header)
        return short_read_status(reader);
    const int16_t width = read_s16(header + 12);
    const int16_t height = read_s16(header + 14);
    const uint8_t bpp = header[16];
    if (width < 0 || height < 0)
        return kgf_status::bad_image_size;
    if (bpp != 16 && bpp != 24 && bpp != 32)
        return kgf_status::bad_pixel_depth;
    image.width = width;
    image.height = height;
    image.bpp = bpp;

    const size_t row_bytes = static_cast<size_t>(width) * (bpp / 8);
    const int64_t block = static_cast<int64_t>(row_bytes) * height;
    if (block > largest_level_bytes)
        return kgf_status::bad_image_size;
    // A file that claims more pixels than it holds is refused before the
    // block is allocated.
    if (bytes_left(reader) < block)
        return kgf_status::missing_data;
    if (!try_allocate_block(image.data, block))
        return kgf_status::no_memory;
    if (block == 0)
        return kgf_status::ok;
    if (read_bytes(reader, image.data.data(), image.data.size()) != image.data.size())
        return short_read_status(reader);
    // Stored bottom row first.
    if (as_stored == top_row_first)
        reverse_rows(image.data.data(), row_bytes, height);
    return kgf_status::ok;
}

int read_tga(const char* path, image_buffer& image, int as_stored) {
    input_file file;
    kgf_status status = open_reader_file(path, file);
    if (status == kgf_status::cannot_open)
        return 0;
    if (status == kgf_status::ok) {
        byte_reader reader = file_reader(file);
        status = decode_tga(reader, image, as_stored);
        close_input_file(file);
        image_info.mip_levels = 1;
    }
    report_status(status, path);
    return status == kgf_status::ok ? 1 : 0;
}

void build_tga_header(uint8_t header[tga_header_size], const image_buffer& image) {
    for (int i = 0; i < tga_header_size; ++i)
        header[i] = 0;
    header[2] = 2; // uncompressed true-colour
    header[12] = static_cast<uint8_t>(image.width & 0xFF);
    header[13] = static_cast<uint8_t>((image.width >> 8) & 0xFF);
    header[14] = static_cast<uint8_t>(image.height & 0xFF);
    header[15] = static_cast<uint8_t>((image.height >> 8) & 0xFF);
    header[16] = image.bpp;
    header[17] = static_cast<uint8_t>(image.bpp - 24); // alpha bits, origin lower left
}

int encode_tga(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset) {
    if (image.width < 0 || image.height < 0 || offset < 0)
        return 0;
    const size_t row_bytes = static_cast<size_t>(image.width) * (image.bpp / 8);
    const size_t level_bytes = row_bytes * static_cast<size_t>(image.height);
    if (static_cast<uint64_t>(offset) > image.data.size() ||
        level_bytes > image.data.size() - static_cast<size_t>(offset))
        return 0;
    const size_t start = out.size();
    out.resize(start + tga_header_size + level_bytes);
    build_tga_header(out.data() + start, image);
    // Memory holds the top row first; the file gets the bottom row first.
    uint8_t* target = out.data() + start + tga_header_size;
    for (int y = row_bytes == 0 ? -1 : image.height - 1; y >= 0; --y, target += row_bytes)
        std::memcpy(target, image.data.data() + offset + static_cast<size_t>(y) * row_bytes,
                    row_bytes);
    return 1;
}

int write_tga_image(FILE* stream, const image_buffer& image, int64_t offset) {
    if (image.width < 0 || image.height < 0 || offset < 0)
        return 0;
    const size_t pixel_bytes = image.bpp / 8;
    const size_t row_bytes = static_cast<size_t>(image.width) * pixel_bytes;
    const size_t level_bytes = row_bytes * static_cast<size_t>(image.height);
    if (static_cast<uint64_t>(offset) > image.data.size() ||
        level_bytes > image.data.size() - static_cast<size_t>(offset))
        return 0;

    uint8_t header[tga_header_size];
    build_tga_header(header, image);
    if (std::fwrite(header, 1, sizeof header, stream) != sizeof header)
        return 0;
    // Memory holds the top row first; the file gets the bottom row first.
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.data.data() + offset + static_cast<size_t>(y) * row_bytes;
        if (row_bytes > 0 && std::fwrite(row, 1, row_bytes, stream) != row_bytes)
            return 0;
    }
    return 1;
}
