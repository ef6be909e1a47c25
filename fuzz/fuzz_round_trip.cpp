// Writing and reading back: a picture of 16, 24 or 32 bits with its levels,
// made from the input, comes back from the KGF writer and reader with the
// same chain, and from the TGA writer and reader with the same pixels in
// every level file.
#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/rle.h"
#include "formats/tga.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void fail(const char* what, const image_buffer& image) {
    std::fprintf(stderr, "kgf fuzz: %s (%dx%d, %d bits, %d levels)\n", what, image.width,
                 image.height, image.bpp, image.num_mipmaps);
    std::abort();
}

bool same_bytes(const uint8_t* a, const uint8_t* b, size_t count) {
    return count == 0 || std::memcmp(a, b, count) == 0;
}

// Depth, levels, width and height from the first four bytes; the pixels
// of every level repeat the rest of the input. Rows reach past the longest
// run; fewer of them keep the runs quick.
bool image_from_input(const uint8_t* data, size_t size, image_buffer& image) {
    if (size < 4)
        return false;
    static const uint8_t depths[] = {16, 24, 32};
    init_image_buffer(image, depths[data[0] % 3]);
    image.num_mipmaps = static_cast<int16_t>(data[1] % 10);
    image.width = data[2];
    image.height = static_cast<int16_t>(data[3] % 64);
    if (allocate_image_data(image, mip_chain_bytes(image)) != kgf_status::ok)
        return false;
    const uint8_t* pixels = data + 4;
    const size_t count = size - 4;
    for (size_t i = 0; count > 0 && i < image.data.size(); ++i)
        image.data[i] = pixels[i % count];
    return true;
}

void check_kgf(const image_buffer& chain) {
    const int64_t total = mip_chain_bytes(chain);
    std::vector<uint8_t> file;
    if (encode_kgf(file, "round.kgf", chain, total) != kgf_status::ok)
        fail("the KGF writer refused a whole chain", chain);
    // A KGF holds 1 to 5 levels: one of none is never written, and reads
    // as its first level.
    if (chain.num_mipmaps < 1)
        return;
    // A conversion reads every level; the preview reads the first.
    for (const row_order rows : {row_order::top_first, row_order::bottom_first}) {
        const bool preview = rows == row_order::bottom_first;
        byte_reader reader = memory_reader(file.data(), file.size());
        image_buffer back;
        init_image_buffer(back, 16);
        kgf_reading reading;
        if (decode_kgf(reader, back, preview ? kgf_levels::first_only : kgf_levels::from_file, rows,
                       reading) != kgf_status::ok ||
            back.width != chain.width || back.height != chain.height)
            fail("the KGF file does not read back", chain);
        if (!preview) {
            if (back.num_mipmaps != chain.num_mipmaps || back.data != chain.data)
                fail("the KGF chain differs", chain);
            continue;
        }
        // The preview's first level comes bottom row first.
        const size_t row = static_cast<size_t>(chain.width) * 2;
        std::vector<uint8_t> expected(chain.data.begin(),
                                      chain.data.begin() +
                                          static_cast<std::ptrdiff_t>(row * chain.height));
        reverse_rows(expected.data(), row, chain.height);
        if (back.data.size() < expected.size() ||
            !same_bytes(back.data.data(), expected.data(), expected.size()))
            fail("the KGF preview differs", chain);
    }
}

// Each level as the TGA writer walks the chain, as a file of its own.
void check_tga(const image_buffer& image) {
    image_buffer level = image;
    const int pixel_bytes = image.bpp / 8;
    int64_t offset = 0;
    int64_t level_size = static_cast<int64_t>(image.width) * image.height * pixel_bytes;
    for (int k = 1; k <= image.num_mipmaps; ++k) {
        std::vector<uint8_t> file;
        if (encode_tga(file, level, offset) != kgf_status::ok)
            fail("the TGA writer refused a level", level);
        byte_reader reader = memory_reader(file.data(), file.size());
        image_buffer back;
        init_image_buffer(back, 32);
        const size_t bytes = static_cast<size_t>(level.width) * level.height * pixel_bytes;
        if (decode_tga(reader, back, row_order::top_first) != kgf_status::ok ||
            back.width != level.width || back.height != level.height || back.bpp != image.bpp ||
            back.data.size() != bytes ||
            !same_bytes(back.data.data(), image.data.data() + offset, bytes))
            fail("a TGA level file does not read back the same", level);
        offset += level_size;
        level_size /= 4;
        level.width = static_cast<int16_t>(level.width / 2);
        level.height = static_cast<int16_t>(level.height / 2);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_setup();
    image_buffer image;
    if (!image_from_input(data, size, image))
        return 0;
    check_tga(image);
    if (image.bpp == 16) {
        check_kgf(image);
        return 0;
    }
    // A KGF holds 16 bits: the picture's first level converted, the lower
    // levels built from it.
    image_buffer chain;
    init_image_buffer(chain, 16);
    if (make_kgf_chain(chain, image, image.num_mipmaps) == kgf_status::ok)
        check_kgf(chain);
    return 0;
}
