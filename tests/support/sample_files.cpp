#include "support/sample_files.h"

#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/rle.h"
#include "formats/tga.h"
#include "support/core_support.h"
#include "support/file_support.h"

#include <gtest/gtest.h>

image_buffer pattern_image(int width, int height, int bpp, unsigned seed) {
    image_buffer image = blank_image(bpp, width, height);
    unsigned state = seed * 2654435761u + 1;
    for (size_t i = 0; i < image.data.size(); ++i) {
        state = state * 1103515245u + 12345u;
        image.data[i] = static_cast<uint8_t>(state >> 16);
        // Runs of equal pixels make the run-length code do some work.
        if (i >= static_cast<size_t>(bpp / 8) && (state & 0x300) == 0)
            image.data[i] = image.data[i - static_cast<size_t>(bpp / 8)];
    }
    return image;
}

image_buffer blank_image(int bpp, int width, int height, int levels) {
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    image.num_mipmaps = static_cast<int16_t>(levels);
    image.data.assign(static_cast<size_t>(mip_chain_bytes(image)), 0);
    return image;
}

image_buffer at_depth(const image_buffer& picture, int bpp) {
    image_buffer result = blank_image(bpp, picture.width, picture.height);
    convert_pixels(result, picture);
    return result;
}

std::vector<uint8_t> tga_file_bytes(const image_buffer& picture) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(encode_tga(bytes, picture, 0), kgf_status::ok);
    return bytes;
}

void write_tga_file(const std::string& path, const image_buffer& picture) {
    write_file_bytes(path, tga_file_bytes(picture));
}

std::vector<uint8_t> kgf_file_bytes(const std::string& name, const image_buffer& picture,
                                    int levels) {
    image_buffer chain;
    init_image_buffer(chain, 16);
    EXPECT_EQ(make_kgf_chain(chain, picture, levels), kgf_status::ok);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(encode_kgf(bytes, name.c_str(), chain, mip_chain_bytes(chain)), kgf_status::ok)
        << name;
    return bytes;
}

void write_kgf_file(const std::string& path, const std::string& name, const image_buffer& picture,
                    int levels) {
    write_file_bytes(path, kgf_file_bytes(name, picture, levels));
}

image_buffer read_kgf_bytes(const std::vector<uint8_t>& file) {
    image_buffer image;
    init_image_buffer(image, 16);
    byte_reader reader = reader_of(file);
    kgf_reading reading;
    EXPECT_EQ(decode_kgf(reader, image, kgf_levels::from_file, row_order::top_first, reading),
              kgf_status::ok);
    return image;
}

std::vector<uint8_t> kaf_frame(const std::string& name, const image_buffer& picture,
                               unsigned width_field) {
    std::vector<uint8_t> bytes = {0, 0, 0x7A};
    put_text(bytes, name);
    bytes.push_back(1); // one level
    bytes.insert(bytes.end(), 9, 0);
    put_u16(bytes, width_field);
    put_u16(bytes, static_cast<unsigned>(picture.height));
    put_u16(bytes, 0x2820);
    encode_runs(bytes, picture.data.data(), mip_chain_bytes(picture),
                chain_level_ends(picture.num_mipmaps, picture.width, picture.height, picture.bpp));
    return bytes;
}

std::vector<uint8_t> kaf_file(const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<uint8_t> bytes(17, 0);
    bytes[0] = static_cast<uint8_t>(frames.size());
    for (const auto& frame : frames)
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}
