#include "formats/tga.h"

#include "formats/image_info.h"
#include "formats/stream_reading.h"
#include "platform/message.h"

#include <climits>
#include <memory>

int read_tga(const char* path, image_buffer& image, int as_stored) {
    file_handle stream(std::fopen(path, "rb"));
    if (!stream)
        return 0;

    uint8_t header[tga_header_size];
    if (std::fread(header, 1, sizeof header, stream.get()) != sizeof header) {
        // A header cut short holds no sizes to go by.
        report_short_read(stream.get());
        return 0;
    }
    const int16_t width = static_cast<int16_t>(header[12] | (header[13] << 8));
    const int16_t height = static_cast<int16_t>(header[14] | (header[15] << 8));
    const uint8_t bpp = header[16];
    image_info.mip_levels = 1;

    if (width < 0 || height < 0) {
        show_error_about("%s: Bad image size!", path);
        return 0;
    }
    if (bpp != 16 && bpp != 24 && bpp != 32) {
        show_error_about("%s: Bad pixel depth!", path);
        return 0;
    }
    image.width = width;
    image.height = height;
    image.bpp = bpp;

    const size_t pixel_bytes = bpp / 8;
    const size_t row_bytes = static_cast<size_t>(width) * pixel_bytes;
    const int64_t block = static_cast<int64_t>(row_bytes) * height;
    if (block > INT32_MAX) {
        show_error_about("%s: Bad image size!", path);
        return 0;
    }
    // A file that claims more pixels than it holds is refused before the
    // block is allocated.
    const int64_t available = bytes_remaining(stream.get());
    if (available == -2) {
        show_error("File I/O error");
        return 0;
    }
    if (available >= 0 && available < block) {
        show_error("File is missing some data; do not use");
        return 0;
    }
    if (!allocate_image_data(image, block))
        return 0;
    if (block == 0)
        return 1;

    if (as_stored) {
        if (std::fread(image.data.data(), 1, image.data.size(), stream.get()) !=
            image.data.size()) {
            report_short_read(stream.get());
            return 0;
        }
        return 1;
    }
    // Stored bottom row first: file row y becomes memory row height - 1 - y.
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.data.data() + static_cast<size_t>(height - 1 - y) * row_bytes;
        if (std::fread(row, 1, row_bytes, stream.get()) != row_bytes) {
            report_short_read(stream.get());
            return 0;
        }
    }
    return 1;
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
