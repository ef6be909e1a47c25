// TGA files exchanged with ImageMagick, the reference program on this
// machine: its files read with their pixels, ours read back by it. Both
// sides take the file's rows as its descriptor places them (-auto-orient).
#ifdef KGF_IMAGEMAGICK

#include "formats/tga.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

std::string magick() {
    return KGF_IMAGEMAGICK;
}

// The picture as ImageMagick understands the file, top row first, as raw
// B,G,R(,A) bytes in our memory layout.
std::vector<uint8_t> pixels_by_imagemagick(const scratch_folder& folder, const std::string& tga,
                                           int bpp) {
    const std::string raw = folder.file("truth.raw");
    const std::string map = bpp == 32 ? "bgra" : "bgr";
    EXPECT_EQ(run(magick() + " '" + tga + "' -auto-orient -depth 8 " + map + ":'" + raw + "'"), 0);
    return read_file_bytes(raw);
}

struct exchange_case {
    int width, height, bpp;
};

class ImageMagickTest : public ::testing::TestWithParam<exchange_case> {
  protected:
    void SetUp() override { reset_core_state(); }
    scratch_folder folder;
    message_recorder messages;
};

} // namespace

TEST_P(ImageMagickTest, ItsFilesReadWithTheirPixels) {
    const auto [width, height, bpp] = GetParam();
    // A noisy picture made by ImageMagick, written as an uncompressed TGA.
    const std::string tga = folder.file("theirs.tga");
    const std::string type = bpp == 32 ? "TrueColorAlpha" : "TrueColor";
    const std::string alpha =
        bpp == 32 ? " -alpha set -channel A -fx 'i/w' +channel" : " -alpha off";
    ASSERT_EQ(run(magick() + " -size " + std::to_string(width) + "x" + std::to_string(height) +
                  " -seed 7 plasma:fractal" + alpha + " -type " + type +
                  " -depth 8 -compress None '" + tga + "'"),
              0);
    const std::vector<uint8_t> bytes = read_file_bytes(tga);
    ASSERT_GE(bytes.size(), 18u);
    ASSERT_EQ(bytes[16], bpp);

    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(tga.c_str(), image, 0), 1);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.data, pixels_by_imagemagick(folder, tga, bpp));
    EXPECT_TRUE(messages.messages().empty());
}

TEST_P(ImageMagickTest, OurFilesReadBackByIt) {
    const auto [width, height, bpp] = GetParam();
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    allocate_image_data(image, mip_chain_bytes(image));
    for (size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = static_cast<uint8_t>((i * 37 + i / 7) & 0xFF);

    const std::string tga = folder.file("ours.tga");
    FILE* stream = std::fopen(tga.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(write_tga_image(stream, image, 0), 1);
    std::fclose(stream);
    EXPECT_EQ(pixels_by_imagemagick(folder, tga, bpp), image.data);
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
