// The one file that builds the PNG library from the system's headers, for
// PNG alone. It keeps no state of its own: no failure texts are recorded,
// and its settings (flipping, filter, compression level) are left as they
// are, so that threads may decode and encode at the same time.
#include "formats/png_library.h"

#include "formats/limits.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

// The image data deflated through zlib at its best level, with the
// strategy for filtered rows: the library's own deflate leaves files a
// fifth or more larger.
unsigned char* deflate_for_png(unsigned char* data, int size, int* out_size, int) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 9, Z_FILTERED) != Z_OK)
        return nullptr;
    const uLong bound = deflateBound(&stream, static_cast<uLong>(size));
    auto* out = static_cast<unsigned char*>(std::malloc(bound));
    if (out == nullptr) {
        deflateEnd(&stream);
        return nullptr;
    }
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(bound);
    const int result = deflate(&stream, Z_FINISH);
    *out_size = static_cast<int>(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        std::free(out);
        return nullptr;
    }
    return out;
}

} // namespace

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS largest_side
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS deflate_for_png
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

kgf_status library_decode_png(const uint8_t* bytes, size_t size, bool sixteen_bits,
                              std::vector<uint8_t>& rgba) {
    if (size > static_cast<size_t>(INT32_MAX))
        return kgf_status::bad_png_data;
    int width = 0, height = 0, channels = 0;
    const int length = static_cast<int>(size);
    if (!sixteen_bits) {
        stbi_uc* pixels = stbi_load_from_memory(bytes, length, &width, &height, &channels, 4);
        if (pixels == nullptr)
            return kgf_status::bad_png_data;
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
        rgba.assign(pixels, pixels + count);
        stbi_image_free(pixels);
        return kgf_status::ok;
    }
    stbi_us* pixels = stbi_load_16_from_memory(bytes, length, &width, &height, &channels, 4);
    if (pixels == nullptr)
        return kgf_status::bad_png_data;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    rgba.resize(count);
    // Rounded to the nearest 8-bit value: v * 255 / 65535.
    for (size_t i = 0; i < count; ++i)
        rgba[i] = static_cast<uint8_t>((pixels[i] * 255u + 32767u) / 65535u);
    stbi_image_free(pixels);
    return kgf_status::ok;
}

kgf_status library_encode_png(const uint8_t* pixels, int width, int height, int channels,
                              int stride, std::vector<uint8_t>& out) {
    int size = 0;
    unsigned char* file = stbi_write_png_to_mem(pixels, stride, width, height, channels, &size);
    if (file == nullptr)
        return kgf_status::no_memory;
    out.insert(out.end(), file, file + size);
    STBIW_FREE(file);
    return kgf_status::ok;
}
