// TGA files exchanged with ImageMagick, the reference program on this
// machine: its files read with their pixels, ours read back by it. Both
// sides take the file's rows as its descriptor places them (-auto-orient).
#ifdef KGF_IMAGEMAGICK

#include "formats/tga.h"
#include "support/core_support.h"
#include "support/file_support.h"
#include "support/sample_files.h"
#include "support/tga_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

const std::string magick = KGF_IMAGEMAGICK;

// The picture as ImageMagick understands the file, top row first, as raw
// B,G,R(,A) bytes in our memory layout.
std::vector<uint8_t> pixels_by_imagemagick(const scratch_folder& folder, const std::string& tga,
                                           int bpp) {
    const std::string raw = folder.file("truth.raw");
    const std::string map = bpp == 32 ? "bgra" : "bgr";
    EXPECT_EQ(run(magick + " '" + tga + "' -auto-orient -depth 8 " + map + ":'" + raw + "'"), 0);
    return read_file_bytes(raw);
}

// Run-length packets over the whole picture, running across rows.
std::vector<uint8_t> packed(const std::vector<uint8_t>& pixels, size_t pixel_bytes) {
    const size_t count = pixels.size() / pixel_bytes;
    const auto same = [&](size_t a, size_t b) {
        return std::memcmp(&pixels[a * pixel_bytes], &pixels[b * pixel_bytes], pixel_bytes) == 0;
    };
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run == 1) // raw pixels up to the next repeat
            while (i + run < count && run < 128 &&
                   !(i + run + 1 < count && same(i + run, i + run + 1)))
                ++run;
        const bool repeat = run > 1 && same(i, i + 1);
        out.push_back(static_cast<uint8_t>((repeat ? 0x80 : 0) | (run - 1)));
        const auto first = pixels.begin() + static_cast<long>(i * pixel_bytes);
        out.insert(out.end(), first, first + static_cast<long>((repeat ? 1 : run) * pixel_bytes));
        i += run;
    }
    return out;
}

// 8-bit channels cut to the 5 bits they came from: ours are expanded
// (x * 8 + x / 4), ImageMagick's rounded.
std::vector<uint8_t> five_bits(std::vector<uint8_t> bytes, bool rounded) {
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(rounded ? (byte * 31 + 127) / 255 : byte >> 3);
    return bytes;
}

struct exchange_case {
    int width, height, bpp;
};

// Decodes a whole TGA file read into memory, top row first.
kgf_status decode_file_bytes(const std::vector<uint8_t>& bytes, image_buffer& image) {
    init_image_buffer(image, 32);
    byte_reader reader = reader_of(bytes);
    return decode_tga(reader, image, row_order::top_first);
}

class ImageMagickTest : public ::testing::TestWithParam<exchange_case> {
  protected:
    scratch_folder folder;
};

} // namespace

TEST_P(ImageMagickTest, ItsFilesReadWithTheirPixels) {
    const auto [width, height, bpp] = GetParam();
    // A noisy picture made by ImageMagick, written as an uncompressed TGA.
    const std::string tga = folder.file("theirs.tga");
    const std::string type = bpp == 32 ? "TrueColorAlpha" : "TrueColor";
    const std::string alpha =
        bpp == 32 ? " -alpha set -channel A -fx 'i/w' +channel" : " -alpha off";
    ASSERT_EQ(run(magick + " -size " + std::to_string(width) + "x" + std::to_string(height) +
                  " -seed 7 plasma:fractal" + alpha + " -type " + type +
                  " -depth 8 -compress None '" + tga + "'"),
              0);
    const std::vector<uint8_t> bytes = read_file_bytes(tga);
    ASSERT_GE(bytes.size(), 18u);
    ASSERT_EQ(bytes[16], bpp);

    image_buffer image;
    ASSERT_EQ(decode_file_bytes(bytes, image), kgf_status::ok);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.data, pixels_by_imagemagick(folder, tga, bpp));
}

TEST_P(ImageMagickTest, OurFilesReadBackByIt) {
    const auto [width, height, bpp] = GetParam();
    image_buffer image = blank_image(bpp, width, height);
    for (size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = static_cast<uint8_t>((i * 37 + i / 7) & 0xFF);

    const std::string tga = folder.file("ours.tga");
    std::vector<uint8_t> file;
    ASSERT_EQ(encode_tga(file, image, 0), kgf_status::ok);
    write_file_bytes(tga, file);
    EXPECT_EQ(pixels_by_imagemagick(folder, tga, bpp), image.data);
}

// Every layout the reader takes, read as ImageMagick reads the same file.
TEST(ImageMagickVariants, ReadAsItReadsThem) {
    scratch_folder folder;
    const int width = 23, height = 17;
    // A file of a picture whose bytes follow from the seed, stored as the
    // descriptor says; run-length types get packets across rows.
    const auto by_hand = [&](tga_header h, unsigned seed, const std::vector<uint8_t>& before) {
        h.width = width;
        h.height = height;
        const int bpp = h.pixel_depth == 15 ? 16 : h.pixel_depth;
        const std::vector<uint8_t> stored =
            stored_pixels(pattern_image(width, height, bpp, seed), h.descriptor);
        std::vector<uint8_t> body = before;
        const std::vector<uint8_t> pixels =
            (h.image_type & 8) ? packed(stored, static_cast<size_t>(bpp / 8)) : stored;
        body.insert(body.end(), pixels.begin(), pixels.end());
        return tga_bytes(h, body);
    };
    const std::vector<uint8_t> map32 = pattern_image(256, 1, 32, 5).data;
    const std::vector<uint8_t> map16 = pattern_image(256, 1, 16, 6).data;

    const std::string alpha = "-alpha set -channel A -fx 'i/w' +channel -type TrueColorAlpha ";
    const std::string plain = "-alpha off -type TrueColor ";
    const struct {
        const char* what;
        std::string options; // ImageMagick writes the file; none: file is made here
        std::vector<uint8_t> file;
        uint8_t type;           // the file's image type
        int bpp;                // compared at this depth
        bool five_bits = false; // colours of 5 bits a channel
    } variants[] = {
        {"run-length", plain + "-compress RLE", {}, 10, 24},
        {"run-length with alpha", alpha + "-compress RLE", {}, 10, 32},
        {"top-left", plain + "-orient TopLeft -compress None", {}, 2, 24},
        {"top-left run-length with alpha", alpha + "-orient TopLeft -compress RLE", {}, 10, 32},
        {"colour-mapped", "-alpha off -type Palette -compress None", {}, 1, 24},
        {"colour-mapped RLE top-left", "-type Palette -orient TopLeft -compress RLE", {}, 9, 24},
        {"greyscale", "-type Grayscale -compress None", {}, 3, 24},
        {"greyscale RLE top-right", "-type Grayscale -orient TopRight -compress RLE", {}, 11, 24},
        {"image ID", "",
         by_hand({.id_length = 5, .image_type = 2, .pixel_depth = 24}, 1,
                 {'a', 'n', ' ', 'I', 'D'}),
         2, 24},
        {"bottom-right", "",
         by_hand({.image_type = 2, .pixel_depth = 32, .descriptor = 0x18}, 2, {}), 2, 32},
        {"top-left, 32 bits", "",
         by_hand({.image_type = 2, .pixel_depth = 32, .descriptor = 0x28}, 2, {}), 2, 32},
        {"top-right", "", by_hand({.image_type = 2, .pixel_depth = 32, .descriptor = 0x38}, 2, {}),
         2, 32},
        {"run-length across rows", "", by_hand({.image_type = 10, .pixel_depth = 24}, 3, {}), 10,
         24},
        {"colour map with alpha, run-length top-right", "",
         by_hand({.colour_map_type = 1,
                  .image_type = 9,
                  .map_length = 256,
                  .map_entry_size = 32,
                  .pixel_depth = 8,
                  .descriptor = 0x38},
                 4, map32),
         9, 32},
        {"colour map of 16-bit entries", "",
         by_hand({.colour_map_type = 1,
                  .image_type = 1,
                  .map_length = 256,
                  .map_entry_size = 16,
                  .pixel_depth = 8,
                  .descriptor = 0x01},
                 4, map16),
         1, 24, true},
        {"15 bits, run-length top-left", "",
         by_hand({.image_type = 10, .pixel_depth = 15, .descriptor = 0x20}, 7, {}), 10, 24, true},
        {"16 bits with an alpha bit", "",
         by_hand({.image_type = 2, .pixel_depth = 16, .descriptor = 0x01}, 8, {}), 2, 32, true},
    };
    const std::string tga = folder.file("variant.tga");
    for (const auto& v : variants) {
        if (v.options.empty())
            write_file_bytes(tga, v.file);
        else
            ASSERT_EQ(run(magick + " -size " + std::to_string(width) + "x" +
                          std::to_string(height) + " -seed 7 plasma:fractal -depth 8 " + v.options +
                          " '" + tga + "'"),
                      0)
                << v.what;
        const std::vector<uint8_t> bytes = read_file_bytes(tga);
        ASSERT_GE(bytes.size(), 18u) << v.what;
        EXPECT_EQ(bytes[2], v.type) << v.what;

        image_buffer image;
        ASSERT_EQ(decode_file_bytes(bytes, image), kgf_status::ok) << v.what;
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        const image_buffer seen = image.bpp == v.bpp ? image : at_depth(image, v.bpp);
        const std::vector<uint8_t> truth = pixels_by_imagemagick(folder, tga, v.bpp);
        if (v.five_bits)
            EXPECT_EQ(five_bits(seen.data, false), five_bits(truth, true)) << v.what;
        else
            EXPECT_EQ(seen.data, truth) << v.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImageMagickTest,
                         ::testing::Values(exchange_case{7, 5, 24}, exchange_case{64, 32, 24},
                                           exchange_case{9, 4, 32}, exchange_case{32, 64, 32}),
                         [](const ::testing::TestParamInfo<exchange_case>& info) {
                             const exchange_case& c = info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) + "_" +
                                    std::to_string(c.bpp) + "bit";
                         });

#endif
