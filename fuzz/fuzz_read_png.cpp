#include "formats/byte_reader.h"
#include "formats/png.h"

#include <zlib.h>

#include <vector>

namespace {

// The input with every whole chunk's checksum made right, so that mutations
// reach the decoder instead of stopping at the first checksum.
std::vector<uint8_t> resealed(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = uint32_t{file[at]} << 24 | uint32_t{file[at + 1]} << 16 |
                                uint32_t{file[at + 2]} << 8 | file[at + 3];
        if (length > file.size() - at - 12)
            break;
        const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[at + 4], length + 4));
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + static_cast<size_t>(i)] =
                static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += size_t{length} + 12;
    }
    return file;
}

void decode_both_ways(const uint8_t* data, size_t size) {
    for (const row_order rows : {row_order::top_first, row_order::bottom_first}) {
        byte_reader reader = memory_reader(data, size);
        image_buffer image;
        init_image_buffer(image, 32);
        if (decode_png(reader, image, rows) != kgf_status::ok || rows != row_order::top_first)
            continue;
        // A picture taken is written back and read again as the same pixels.
        std::vector<uint8_t> file;
        if (image.width > 64 || image.height > 64 || encode_png(file, image, 0) != kgf_status::ok)
            continue;
        byte_reader again = memory_reader(file.data(), file.size());
        image_buffer copy;
        init_image_buffer(copy, 32);
        if (decode_png(again, copy, rows) != kgf_status::ok || copy.data != image.data)
            __builtin_trap();
    }
}

} // namespace

// The decoder reads from memory and reports nothing: no file, no messages.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decode_both_ways(data, size);
    const std::vector<uint8_t> file = resealed(data, size);
    decode_both_ways(file.data(), file.size());
    return 0;
}
