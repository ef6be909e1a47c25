// The TGA decoder and encoder, over bytes in memory.
#include "formats/mip.h"
#include "formats/tga.h"
#include "support/core_support.h"
#include "support/file_support.h"
#include "support/sample_files.h"
#include "support/tga_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

struct decoded {
    kgf_status status;
    image_buffer image;
};

decoded decode(const std::vector<uint8_t>& file, row_order rows) {
    decoded out;
    init_image_buffer(out.image, 32);
    byte_reader reader = reader_of(file);
    out.status = decode_tga(reader, out.image, rows);
    return out;
}

} // namespace

TEST(TgaDecode, DecodeThenEncodeReproducesPixelsAndNormalisesHeader) {
    std::vector<uint8_t> input =
        tga_file(3, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    input[1] = 1;     // a colour map of no entries
    input[7] = 24;    // their size
    input[8] = 9;     // x origin: ignored and written as 0
    input[17] = 0x0F; // alpha bits: ignored
    const decoded read = decode(input, row_order::top_first);
    ASSERT_EQ(read.status, kgf_status::ok);

    std::vector<uint8_t> written;
    ASSERT_EQ(encode_tga(written, read.image, 0), kgf_status::ok);
    ASSERT_EQ(written.size(), input.size());
    EXPECT_TRUE(std::equal(input.begin() + 18, input.end(), written.begin() + 18));
    for (int i = 0; i < 18; ++i) {
        if (i == 12 || i == 14 || i == 16 || i == 2)
            continue;
        EXPECT_EQ(written[static_cast<size_t>(i)], 0) << "header byte " << i;
    }
    EXPECT_EQ(written[2], 2);
}

TEST(TgaEncode, DescriptorFollowsDepth) {
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

TEST(TgaDecode, LayoutsReadInBothRowOrders) {
    using bytes = std::vector<uint8_t>;
    struct layout_case {
        const char* what;
        bytes file;
        int bpp;
        bytes top_first;
    };
    const layout_case cases[] = {
        // P0 P1 (bottom row) then P2 P3 (top row).
        {"2x2 bottom-left", tga_file(2, 2, 24, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}), 24,
         bytes{3, 3, 3, 4, 4, 4, 1, 1, 1, 2, 2, 2}},
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
         24, bytes{1, 2, 3, 4, 5, 6}},
        {"run-length packets across rows, top-right",
         tga_bytes(
             {.image_type = 10, .width = 3, .height = 2, .pixel_depth = 32, .descriptor = 0x38},
             {0x83, 1, 2, 3, 255, 0x01, 4, 5, 6, 0, 7, 8, 9, 128}),
         32,
         bytes{1, 2, 3, 255, 1, 2, 3, 255, 1, 2, 3, 255, 7, 8, 9, 128, 4, 5, 6, 0, 1, 2, 3, 255}},
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
         24, bytes{0, 255, 0, 255, 0, 0, 0, 255, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0}},
        {"15 bits, right to left: opaque ARGB1555",
         tga_file(2, 2, 15, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F}, 0x10), 16,
         bytes{0xFF, 0xFF, 0x1F, 0x80, 0xE0, 0x83, 0x00, 0xFC}},
        {"16 bits keep their alpha bit", tga_file(2, 1, 16, {0x00, 0x80, 0xFF, 0x7F}, 1), 16,
         bytes{0x00, 0x80, 0xFF, 0x7F}},
        {"an empty picture", tga_file(0, 0, 24, {}), 24, {}},
    };
    for (const auto& c : cases) {
        const decoded top = decode(c.file, row_order::top_first);
        ASSERT_EQ(top.status, kgf_status::ok) << c.what;
        EXPECT_EQ(top.image.bpp, c.bpp) << c.what;
        EXPECT_EQ(top.image.num_mipmaps, 1) << c.what;
        EXPECT_EQ(top.image.data, c.top_first) << c.what;
        const decoded bottom = decode(c.file, row_order::bottom_first);
        ASSERT_EQ(bottom.status, kgf_status::ok) << c.what;
        EXPECT_EQ(bottom.image.data,
                  rows_turned(c.top_first, static_cast<size_t>(top.image.width) * c.bpp / 8))
            << c.what;
    }
}

// The files the system writes read exactly as they always have: the pinned
// digest covers the written file and both reads of it.
TEST(TgaDecode, OwnFilesReadAsBefore) {
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
    for (const auto& c : cases) {
        const image_buffer picture = pattern_image(c.width, c.height, c.bpp, c.seed);
        std::vector<uint8_t> file;
        ASSERT_EQ(encode_tga(file, picture, 0), kgf_status::ok);
        uint64_t hash = fnv1a(14695981039346656037u, file.data(), file.size());
        for (row_order rows : {row_order::top_first, row_order::bottom_first}) {
            const decoded read = decode(file, rows);
            ASSERT_EQ(read.status, kgf_status::ok);
            EXPECT_EQ(read.image.data, rows == row_order::top_first
                                           ? picture.data
                                           : std::vector<uint8_t>(file.begin() + 18, file.end()));
            hash = fnv1a(hash, read.image.data.data(), read.image.data.size());
        }
        EXPECT_EQ(hash, c.digest) << c.width << "x" << c.height;
    }
}

// Each file of the reader's fuzz corpus that must be refused, and why.
TEST(TgaDecode, HostileFilesAreRefused) {
    const struct {
        const char* file;
        kgf_status status;
    } cases[] = {
        {"cut-header.tga", kgf_status::missing_data},
        {"empty.tga", kgf_status::missing_data},
        {"cut-pixels-24.tga", kgf_status::missing_data},
        {"size-beyond-file-32.tga", kgf_status::missing_data},
        {"id-past-end.tga", kgf_status::missing_data},
        {"colour-map-past-end.tga", kgf_status::missing_data},
        {"skipped-colour-map-past-end.tga", kgf_status::missing_data},
        {"colour-mapped-pixels-cut.tga", kgf_status::missing_data},
        {"size-beyond-32-bits.tga", kgf_status::bad_image_size},
        {"size-beyond-32-bits-grey.tga", kgf_status::bad_image_size},
        {"size-beyond-32-bits-map-alpha.tga", kgf_status::bad_image_size},
        {"negative-width.tga", kgf_status::bad_image_size},
        {"negative-height.tga", kgf_status::bad_image_size},
        {"true-colour-8-bit.tga", kgf_status::unsupported_tga_type},
        {"type-0-no-image.tga", kgf_status::unsupported_tga_type},
        {"type-32-huffman.tga", kgf_status::unsupported_tga_type},
        {"colour-mapped-without-map.tga", kgf_status::unsupported_tga_type},
        {"colour-map-type-2.tga", kgf_status::unsupported_tga_type},
        {"colour-map-8-bit-entries.tga", kgf_status::unsupported_tga_type},
        {"colour-mapped-16-bit-indices.tga", kgf_status::unsupported_tga_type},
        {"greyscale-16-bit.tga", kgf_status::unsupported_tga_type},
        {"index-past-map.tga", kgf_status::bad_colour_index},
        {"index-below-first-entry.tga", kgf_status::bad_colour_index},
        {"map-first-entry-past-indices.tga", kgf_status::bad_colour_index},
        {"rle-ends-early.tga", kgf_status::bad_run_length},
        {"rle-packet-past-picture.tga", kgf_status::bad_run_length},
        {"rle-repeat-pixel-cut.tga", kgf_status::bad_run_length},
        {"rle-raw-pixels-cut.tga", kgf_status::bad_run_length},
        {"rle-huge-picture-tiny-file.tga", kgf_status::bad_run_length},
        {"rle-huge-colour-mapped.tga", kgf_status::bad_run_length},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> file =
            read_file_bytes(std::string(KGF_TGA_CORPUS) + "/" + c.file);
        for (row_order rows : {row_order::top_first, row_order::bottom_first}) {
            const decoded read = decode(file, rows);
            EXPECT_EQ(read.status, c.status) << c.file;
            EXPECT_LT(read.image.data.size(), 1u << 20) << c.file;
        }
    }
}

TEST(TgaEncode, RefusesALevelOutsideTheBlock) {
    image_buffer image;
    init_image_buffer(image, 24);
    image.width = 4;
    image.height = 4;
    image.data.assign(40, 0); // one row short
    image.data.shrink_to_fit();
    // Encoding appends, and leaves what is there alone when it refuses.
    std::vector<uint8_t> out = {7};
    EXPECT_EQ(encode_tga(out, image, 0), kgf_status::bad_image_size);
    image.data.assign(48, 0);
    EXPECT_EQ(encode_tga(out, image, 3), kgf_status::bad_image_size);
    EXPECT_EQ(out, std::vector<uint8_t>{7});
    EXPECT_EQ(encode_tga(out, image, 0), kgf_status::ok);
    EXPECT_EQ(out.size(), 1u + 18 + 48);
}

// Rows that go straight to 16 bits give what the whole picture converted
// gives, for every layout the direct path takes, and the same refusal for
// a file cut anywhere.
TEST(TgaDecode, DirectSixteenBitRowsMatchTheWholePicture) {
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
                    ASSERT_EQ(make_kgf_chain(expected, whole, levels), kgf_status::ok);
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
