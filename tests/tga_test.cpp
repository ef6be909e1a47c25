#include "formats/image_info.h"
#include "formats/tga.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

std::vector<uint8_t> tga_file(int width, int height, int bpp, const std::vector<uint8_t>& pixels,
                              uint8_t descriptor = 0) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<uint8_t>(width & 0xFF);
    bytes[13] = static_cast<uint8_t>((width >> 8) & 0xFF);
    bytes[14] = static_cast<uint8_t>(height & 0xFF);
    bytes[15] = static_cast<uint8_t>((height >> 8) & 0xFF);
    bytes[16] = static_cast<uint8_t>(bpp);
    bytes[17] = descriptor;
    bytes.resize(18 + pixels.size());
    std::copy(pixels.begin(), pixels.end(), bytes.begin() + 18);
    return bytes;
}

// P0 P1 (bottom row) then P2 P3 (top row).
const std::vector<uint8_t> two_by_two = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};

class TgaTest : public ::testing::Test {
  protected:
    void SetUp() override { reset_core_state(); }
    scratch_folder folder;
    message_recorder messages;
};

} // namespace

TEST_F(TgaTest, RowOrderOfBothModes) {
    const std::string path = folder.file("a.tga");
    write_file_bytes(path, tga_file(2, 2, 24, two_by_two));
    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, 0), 1);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{3, 3, 3, 4, 4, 4, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(image.bpp, 24);
    EXPECT_EQ(image.num_mipmaps, 1);
    EXPECT_EQ(image_info.mip_levels, 1);

    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, 1), 1);
    EXPECT_EQ(image.data, two_by_two);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TgaTest, ReadThenWriteReproducesPixelsAndNormalisesHeader) {
    std::vector<uint8_t> input =
        tga_file(3, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    for (int i : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11})
        input[static_cast<size_t>(i)] = 0;
    input[8] = 9; // x origin: ignored and written as 0
    input[17] = 0x20;
    const std::string path = folder.file("in.tga");
    write_file_bytes(path, input);
    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, 0), 1);

    const std::string out = folder.file("out.tga");
    FILE* stream = std::fopen(out.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(write_tga_image(stream, image, 0), 1);
    std::fclose(stream);
    const std::vector<uint8_t> written = read_file_bytes(out);
    ASSERT_EQ(written.size(), input.size());
    EXPECT_TRUE(std::equal(input.begin() + 18, input.end(), written.begin() + 18));
    for (int i = 0; i < 18; ++i) {
        if (i == 12 || i == 14 || i == 16 || i == 2)
            continue;
        EXPECT_EQ(written[static_cast<size_t>(i)], 0) << "header byte " << i;
    }
    EXPECT_EQ(written[2], 2);
}

TEST_F(TgaTest, DescriptorFollowsDepth) {
    struct depth_case {
        uint8_t bpp, descriptor;
    };
    for (const auto& c : {depth_case{24, 0}, depth_case{32, 8}, depth_case{16, 248}}) {
        image_buffer image;
        init_image_buffer(image, c.bpp);
        image.width = 300;
        image.height = 2;
        uint8_t header[18];
        build_tga_header(header, image);
        EXPECT_EQ(header[17], c.descriptor);
        EXPECT_EQ(header[12], 300 & 0xFF);
        EXPECT_EQ(header[13], 1);
        EXPECT_EQ(header[16], c.bpp);
    }
}

TEST_F(TgaTest, StoredLayoutIsTakenAsIs) {
    // A top-left origin is read upside down; an ID field is taken as pixels.
    const std::string path = folder.file("t.tga");
    std::vector<uint8_t> bytes = tga_file(1, 2, 24, {1, 1, 1, 2, 2, 2}, 0x20);
    bytes[0] = 3;
    write_file_bytes(path, bytes);
    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, 0), 1);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{2, 2, 2, 1, 1, 1}));
}

TEST_F(TgaTest, SixteenBitFileKeepsItsDepth) {
    const std::string path = folder.file("s.tga");
    write_file_bytes(path, tga_file(2, 1, 16, {0x00, 0x80, 0xFF, 0x7F}));
    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, 0), 1);
    EXPECT_EQ(image.bpp, 16);
    EXPECT_EQ(image.data.size(), 4u);
}

TEST_F(TgaTest, EmptyImageReads) {
    const std::string path = folder.file("e.tga");
    write_file_bytes(path, tga_file(0, 0, 24, {}));
    image_buffer image;
    init_image_buffer(image, 32);
    EXPECT_EQ(read_tga(path.c_str(), image, 0), 1);
    EXPECT_TRUE(image.data.empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TgaTest, MissingFileIsSilent) {
    image_buffer image;
    init_image_buffer(image, 32);
    EXPECT_EQ(read_tga(folder.file("none.tga").c_str(), image, 0), 0);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(image.data.empty());
}

struct refused_case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message; // %s stands for the path
};

TEST_F(TgaTest, HostileFilesAreRefusedWithAMessage) {
    std::vector<uint8_t> cut = tga_file(4, 4, 24, std::vector<uint8_t>(47, 1));
    std::vector<uint8_t> huge = tga_file(4000, 4000, 32, {1, 2, 3});
    std::vector<uint8_t> beyond = tga_file(32767, 32767, 32, {1, 2, 3});
    std::vector<uint8_t> negative = tga_file(0xFFFF, 2, 24, std::vector<uint8_t>(6, 0));
    std::vector<uint8_t> tall_negative = tga_file(2, 0x8000, 24, std::vector<uint8_t>(6, 0));
    std::vector<uint8_t> paletted = tga_file(2, 2, 8, {1, 2, 3, 4});
    const refused_case cases[] = {
        {"short header", {0, 0, 2, 0, 0}, "File is missing some data; do not use"},
        {"empty file", {}, "File is missing some data; do not use"},
        {"cut inside pixels", cut, "File is missing some data; do not use"},
        {"size beyond the file", huge, "File is missing some data; do not use"},
        {"size beyond 32 bits", beyond, "%s: Bad image size!"},
        {"negative width", negative, "%s: Bad image size!"},
        {"negative height", tall_negative, "%s: Bad image size!"},
        {"8-bit depth", paletted, "%s: Bad pixel depth!"},
    };
    for (const auto& c : cases) {
        for (int as_stored : {0, 1}) {
            messages.clear();
            const std::string path = folder.file("bad.tga");
            write_file_bytes(path, c.bytes);
            image_buffer image;
            init_image_buffer(image, 32);
            EXPECT_EQ(read_tga(path.c_str(), image, as_stored), 0) << c.what;
            ASSERT_EQ(messages.messages().size(), 1u) << c.what;
            std::string expected = c.message;
            const size_t at = expected.find("%s");
            if (at != std::string::npos)
                expected.replace(at, 2, path);
            EXPECT_EQ(messages.messages()[0].text, expected) << c.what;
            EXPECT_EQ(messages.messages()[0].caption, "Error");
            EXPECT_LT(image.data.size(), 1u << 20) << c.what;
        }
    }
}

TEST_F(TgaTest, WriteRefusesALevelOutsideTheBlock) {
    image_buffer image;
    init_image_buffer(image, 24);
    image.width = 4;
    image.height = 4;
    image.data.assign(40, 0); // one row short
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(write_tga_image(stream, image, 0), 0);
    image.data.assign(48, 0);
    EXPECT_EQ(write_tga_image(stream, image, 3), 0);
    EXPECT_EQ(write_tga_image(stream, image, 0), 1);
    std::fclose(stream);
}
