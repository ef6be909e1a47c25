#include "formats/mip.h"
#include "formats/tga.h"
#include "routines/image_info.h"
#include "routines/tga_file.h"
#include "support/sample_files.h"
#include "support/test_support.h"
#include "support/tga_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

std::vector<uint8_t> tga_file(int width, int height, int bpp, const std::vector<uint8_t>& pixels,
                              uint8_t descriptor = 0) {
    return tga_bytes({.image_type = 2,
                      .width = static_cast<int16_t>(width),
                      .height = static_cast<int16_t>(height),
                      .pixel_depth = static_cast<uint8_t>(bpp),
                      .descriptor = descriptor},
                     pixels);
}

// P0 P1 (bottom row) then P2 P3 (top row).
const std::vector<uint8_t> two_by_two = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};

uint64_t digest(uint64_t hash, const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211u; // FNV-1a
    return hash;
}

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
    ASSERT_EQ(read_tga(path.c_str(), image, top_row_first), 1);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{3, 3, 3, 4, 4, 4, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(image.bpp, 24);
    EXPECT_EQ(image.num_mipmaps, 1);
    EXPECT_EQ(image_info.mip_levels, 1);

    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, bottom_row_first), 1);
    EXPECT_EQ(image.data, two_by_two);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TgaTest, ReadThenWriteReproducesPixelsAndNormalisesHeader) {
    std::vector<uint8_t> input =
        tga_file(3, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    input[1] = 1;     // a colour map of no entries
    input[7] = 24;    // their size
    input[8] = 9;     // x origin: ignored and written as 0
    input[17] = 0x0F; // alpha bits: ignored
    const std::string path = folder.file("in.tga");
    write_file_bytes(path, input);
    image_buffer image;
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, top_row_first), 1);

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

TEST_F(TgaTest, LayoutsOfOtherWritersReadInBothRowOrders) {
    struct layout_case {
        const char* what;
        std::vector<uint8_t> file;
        int bpp;
        std::vector<uint8_t> top_first;
    };
    const layout_case cases[] = {
        {"image ID and a colour map, skipped",
         tga_bytes({.id_length = 4,
                    .colour_map_type = 1,
                    .image_type = 2,
                    .map_length = 2,
                    .map_entry_size = 16,
                    .width = 2,
                    .height = 1,
                    .pixel_depth = 24},
                   {'n', 'a', 'm', 'e', 9, 9, 9, 9, 1, 2, 3, 4, 5, 6}),
         24,
         {1, 2, 3, 4, 5, 6}},
        {"run-length packets across rows, top-right",
         tga_bytes(
             {.image_type = 10, .width = 3, .height = 2, .pixel_depth = 32, .descriptor = 0x38},
             {0x83, 1, 2, 3, 255, 0x01, 4, 5, 6, 0, 7, 8, 9, 128}),
         32,
         {1, 2, 3, 255, 1, 2, 3, 255, 1, 2, 3, 255, 7, 8, 9, 128, 4, 5, 6, 0, 1, 2, 3, 255}},
        {"run-length colour map from entry 1, 16-bit entries without alpha",
         tga_bytes({.colour_map_type = 1,
                    .image_type = 9,
                    .map_first_entry = 1,
                    .map_length = 2,
                    .map_entry_size = 16,
                    .width = 3,
                    .height = 2,
                    .pixel_depth = 8},
                   {0x1F, 0x80, 0xE0, 0x03, 0x82, 1, 0x02, 2, 1, 2}),
         24,
         {0, 255, 0, 255, 0, 0, 0, 255, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0}},
        {"15 bits, right to left: opaque ARGB1555",
         tga_file(2, 2, 15, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F}, 0x10),
         16,
         {0xFF, 0xFF, 0x1F, 0x80, 0xE0, 0x83, 0x00, 0xFC}},
        {"16 bits keep their alpha bit",
         tga_file(2, 1, 16, {0x00, 0x80, 0xFF, 0x7F}, 1),
         16,
         {0x00, 0x80, 0xFF, 0x7F}},
    };
    const std::string path = folder.file("layout.tga");
    for (const auto& c : cases) {
        write_file_bytes(path, c.file);
        image_buffer image;
        init_image_buffer(image, 32);
        ASSERT_EQ(read_tga(path.c_str(), image, top_row_first), 1) << c.what;
        EXPECT_EQ(image.bpp, c.bpp) << c.what;
        EXPECT_EQ(image.data, c.top_first) << c.what;
        init_image_buffer(image, 32);
        ASSERT_EQ(read_tga(path.c_str(), image, bottom_row_first), 1) << c.what;
        EXPECT_EQ(image.data,
                  rows_turned(c.top_first, static_cast<size_t>(image.width) * image.bpp / 8))
            << c.what;
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TgaTest, EmptyImageReads) {
    const std::string path = folder.file("e.tga");
    write_file_bytes(path, tga_file(0, 0, 24, {}));
    image_buffer image;
    init_image_buffer(image, 32);
    EXPECT_EQ(read_tga(path.c_str(), image, top_row_first), 1);
    EXPECT_TRUE(image.data.empty());
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(TgaTest, MissingFileIsSilent) {
    image_buffer image;
    init_image_buffer(image, 32);
    EXPECT_EQ(read_tga(folder.file("none.tga").c_str(), image, top_row_first), 0);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_TRUE(image.data.empty());
}

// The files the system writes read exactly as they always have: the pinned
// digest covers the written file and both reads of it.
TEST_F(TgaTest, OwnFilesReadAsBefore) {
    struct pinned {
        int width, height, bpp;
        unsigned seed;
        uint64_t digest;
    };
    const pinned cases[] = {
        {7, 5, 24, 1, 0x0996c1c521bc7a54u},
        {9, 4, 32, 2, 0xb772a00a614374f1u},
        {64, 32, 24, 3, 0x65ab932272d2a6c6u},
        {3, 1, 32, 4, 0x9c1a6e97ed148a94u},
        {1, 6, 24, 5, 0x98159524fb6869bdu},
        {5, 3, 16, 6, 0x4cda8b46e93c9d7bu}, // descriptor 248: not an origin
    };
    const std::string path = folder.file("own.tga");
    for (const auto& c : cases) {
        const image_buffer picture = pattern_image(c.width, c.height, c.bpp, c.seed);
        write_tga_file(path, picture);
        const std::vector<uint8_t> file = read_file_bytes(path);
        uint64_t hash = digest(14695981039346656037u, file);
        for (int as_stored : {top_row_first, bottom_row_first}) {
            image_buffer image;
            init_image_buffer(image, 32);
            ASSERT_EQ(read_tga(path.c_str(), image, as_stored), 1);
            EXPECT_EQ(image.data, as_stored == top_row_first
                                      ? picture.data
                                      : std::vector<uint8_t>(file.begin() + 18, file.end()));
            hash = digest(hash, image.data);
        }
        EXPECT_EQ(hash, c.digest) << c.width << "x" << c.height;
    }
}

// Each file of the reader's fuzz corpus that must be refused, and why.
TEST_F(TgaTest, HostileFilesAreRefusedWithAMessage) {
    const char* missing = "File is missing some data; do not use";
    const char* size = "%s: Bad image size!";
    const char* type = "%s: Unsupported TGA type!";
    const char* index = "%s: Bad colour map index!";
    const char* runs = "%s: Bad run-length data!";
    const struct {
        const char* file;
        const char* message; // %s stands for the path
    } cases[] = {
        {"cut-header.tga", missing},
        {"empty.tga", missing},
        {"cut-pixels-24.tga", missing},
        {"size-beyond-file-32.tga", missing},
        {"id-past-end.tga", missing},
        {"colour-map-past-end.tga", missing},
        {"skipped-colour-map-past-end.tga", missing},
        {"colour-mapped-pixels-cut.tga", missing},
        {"size-beyond-32-bits.tga", size},
        {"size-beyond-32-bits-grey.tga", size},
        {"size-beyond-32-bits-map-alpha.tga", size},
        {"negative-width.tga", size},
        {"negative-height.tga", size},
        {"true-colour-8-bit.tga", type},
        {"type-0-no-image.tga", type},
        {"type-32-huffman.tga", type},
        {"colour-mapped-without-map.tga", type},
        {"colour-map-type-2.tga", type},
        {"colour-map-8-bit-entries.tga", type},
        {"colour-mapped-16-bit-indices.tga", type},
        {"greyscale-16-bit.tga", type},
        {"index-past-map.tga", index},
        {"index-below-first-entry.tga", index},
        {"map-first-entry-past-indices.tga", index},
        {"rle-ends-early.tga", runs},
        {"rle-packet-past-picture.tga", runs},
        {"rle-repeat-pixel-cut.tga", runs},
        {"rle-raw-pixels-cut.tga", runs},
        {"rle-huge-picture-tiny-file.tga", runs},
        {"rle-huge-colour-mapped.tga", runs},
    };
    for (const auto& c : cases) {
        const std::string path = std::string(KGF_TGA_CORPUS) + "/" + c.file;
        std::string expected = c.message;
        if (const size_t at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, path);
        for (int as_stored : {top_row_first, bottom_row_first}) {
            messages.clear();
            image_buffer image;
            init_image_buffer(image, 32);
            EXPECT_EQ(read_tga(path.c_str(), image, as_stored), 0) << c.file;
            ASSERT_EQ(messages.messages().size(), 1u) << c.file;
            EXPECT_EQ(messages.messages()[0].text, expected) << c.file;
            EXPECT_EQ(messages.messages()[0].caption, "Error");
            EXPECT_LT(image.data.size(), 1u << 20) << c.file;
        }
        // The same from memory, with nothing reported.
        messages.clear();
        const std::vector<uint8_t> bytes = read_file_bytes(path);
        byte_reader reader = memory_reader(bytes.data(), bytes.size());
        image_buffer image;
        init_image_buffer(image, 32);
        EXPECT_EQ(status_text(decode_tga(reader, image, row_order::top_first)),
                  std::string(c.message))
            << c.file;
        EXPECT_TRUE(messages.messages().empty());
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

    // Encoding appends, and leaves what is there alone when it refuses.
    std::vector<uint8_t> out = {7};
    EXPECT_EQ(encode_tga(out, image, 3), 0);
    EXPECT_EQ(out, std::vector<uint8_t>{7});
    EXPECT_EQ(encode_tga(out, image, 0), 1);
    EXPECT_EQ(out.size(), 1u + 18 + 48);
}

// Rows that go straight to 16 bits give what the whole picture converted
// gives, for every layout the direct path takes, and the same refusal for
// a file cut anywhere.
TEST_F(TgaTest, DirectSixteenBitRowsMatchTheWholePicture) {
    struct direct_case {
        int bpp;
        uint8_t descriptor;
        uint8_t id_length;
        int width, height;
    };
    const direct_case cases[] = {
        {24, 0x00, 0, 37, 11}, {32, 0x08, 0, 32, 16}, {32, 0x28, 3, 5, 700},  {24, 0x20, 0, 1, 1},
        {32, 0xF8, 0, 9, 4},   {24, 0xC0, 0, 4, 3},   {32, 0x08, 0, 3000, 3}, {24, 0x00, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const size_t count = static_cast<size_t>(c.width) * c.height * (c.bpp / 8);
        std::vector<uint8_t> body(c.id_length, 'i');
        for (size_t i = 0; i < count; ++i)
            body.push_back(static_cast<uint8_t>(i * 37 + i / 7));
        const std::vector<uint8_t> file = tga_bytes({.id_length = c.id_length,
                                                     .image_type = 2,
                                                     .width = static_cast<int16_t>(c.width),
                                                     .height = static_cast<int16_t>(c.height),
                                                     .pixel_depth = static_cast<uint8_t>(c.bpp),
                                                     .descriptor = c.descriptor},
                                                    body);
        const std::string what = std::to_string(c.bpp) + " bits, descriptor " +
                                 std::to_string(c.descriptor) + ", " + std::to_string(c.width) +
                                 "x" + std::to_string(c.height);
        for (size_t cut : {file.size(), file.size() - 1, size_t{20}, size_t{17}}) {
            if (cut > file.size())
                continue;
            for (const int levels : {0, 1, 5, 255}) {
                byte_reader whole_reader = memory_reader(file.data(), cut);
                image_buffer whole;
                init_image_buffer(whole, 32);
                const kgf_status whole_status =
                    decode_tga(whole_reader, whole, row_order::top_first);
                image_buffer expected;
                init_image_buffer(expected, 16);
                if (whole_status == kgf_status::ok) {
                    ASSERT_TRUE(make_kgf_chain(expected, whole, levels));
                }

                byte_reader direct_reader = memory_reader(file.data(), cut);
                tga_header header;
                kgf_status direct_status = read_tga_header(direct_reader, header);
                image_buffer direct;
                if (direct_status == kgf_status::ok) {
                    ASSERT_TRUE(tga_rows_convert_directly(header)) << what;
                    direct_status = decode_tga_to_16(direct_reader, header, levels, direct);
                }
                EXPECT_EQ(direct_status, whole_status) << what << ", cut at " << cut;
                if (whole_status != kgf_status::ok)
                    continue;
                build_mip_chain(direct);
                EXPECT_EQ(direct.data, expected.data) << what << ", " << levels << " levels";
                EXPECT_EQ(direct.num_mipmaps, expected.num_mipmaps);
            }
        }
    }
    // Right to left, run-length and 16 bits take the whole path.
    const uint8_t others[][tga_header_size] = {
        {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0x10},
        {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0},
        {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 16, 0},
    };
    for (const auto& bytes : others)
        EXPECT_FALSE(tga_rows_convert_directly(parse_tga_header(bytes)));
}
