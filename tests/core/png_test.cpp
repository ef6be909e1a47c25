// PNG files: written and read back at every size, and every damaged file
// refused for its own reason.
#include "formats/png.h"
#include "support/core_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>

namespace {

uint32_t big_endian_32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void set_big_endian_32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A chunk as a file holds it: length, type, data, checksum.
std::vector<uint8_t> chunk(const std::string& type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(8 + data.size() + 4);
    set_big_endian_32(out, 0, static_cast<uint32_t>(data.size()));
    std::copy(type.begin(), type.end(), out.begin() + 4);
    std::copy(data.begin(), data.end(), out.begin() + 8);
    set_big_endian_32(
        out, out.size() - 4,
        static_cast<uint32_t>(crc32(0, out.data() + 4, static_cast<uInt>(data.size() + 4))));
    return out;
}

// A file from a header (width, height, depth, colour type, interlace) and
// rows already filtered, deflated here, with chunks put before the data.
std::vector<uint8_t> png_file(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour,
                              uint8_t interlace, const std::vector<uint8_t>& rows,
                              const std::vector<uint8_t>& before = {}) {
    std::vector<uint8_t> file = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> header(13);
    set_big_endian_32(header, 0, width);
    set_big_endian_32(header, 4, height);
    header[8] = depth;
    header[9] = colour;
    header[12] = interlace;
    for (const auto& part : {chunk("IHDR", header), before}) {
        file.insert(file.end(), part.begin(), part.end());
    }
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> deflated(size);
    compress(deflated.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
    deflated.resize(size);
    for (const auto& part : {chunk("IDAT", deflated), chunk("IEND", {})})
        file.insert(file.end(), part.begin(), part.end());
    return file;
}

kgf_status decode(const std::vector<uint8_t>& file, image_buffer& image,
                  row_order rows = row_order::top_first) {
    init_image_buffer(image, 32);
    byte_reader reader = reader_of(file);
    return decode_png(reader, image, rows);
}

// Offset of the first chunk of a type.
size_t chunk_at(const std::vector<uint8_t>& file, const std::string& type) {
    for (size_t at = 8; at + 8 <= file.size(); at += big_endian_32(&file[at]) + 12)
        if (std::string(file.begin() + static_cast<long>(at) + 4,
                        file.begin() + static_cast<long>(at) + 8) == type)
            return at;
    return 0;
}

// The file with a chunk's checksum made right again after an edit.
std::vector<uint8_t> resealed(std::vector<uint8_t> file, size_t at) {
    const uint32_t length = big_endian_32(&file[at]);
    set_big_endian_32(file, at + 8 + length,
                      static_cast<uint32_t>(crc32(0, &file[at + 4], length + 4)));
    return file;
}

} // namespace

// Every size and both depths: what is written reads back as the same
// pixels, alpha opaque at 24 bits.
TEST(Png, WrittenFilesReadBack) {
    for (const int bpp : {24, 32})
        for (const auto& [width, height] :
             {std::pair{1, 1}, {2, 3}, {7, 5}, {64, 1}, {1, 64}, {33, 17}, {128, 96}}) {
            image_buffer picture = pattern_image(width, height, bpp, 11);
            std::vector<uint8_t> file;
            ASSERT_EQ(encode_png(file, picture, 0), kgf_status::ok);
            image_buffer image;
            ASSERT_EQ(decode(file, image), kgf_status::ok) << width << "x" << height;
            EXPECT_EQ(image.width, width);
            EXPECT_EQ(image.height, height);
            image_buffer expected = blank_image(32, width, height);
            for (size_t i = 0, j = 0; i < expected.data.size(); i += 4, j += bpp / 8) {
                for (size_t c = 0; c < 3; ++c)
                    expected.data[i + c] = picture.data[j + c];
                expected.data[i + 3] = bpp == 32 ? picture.data[j + 3] : 255;
            }
            EXPECT_EQ(image.data, expected.data) << width << "x" << height << " at " << bpp;
        }
}

TEST(Png, RowsBottomFirstForThePreview) {
    image_buffer picture = pattern_image(5, 3, 32, 2);
    std::vector<uint8_t> file;
    ASSERT_EQ(encode_png(file, picture, 0), kgf_status::ok);
    image_buffer image;
    ASSERT_EQ(decode(file, image, row_order::bottom_first), kgf_status::ok);
    for (int y = 0; y < 3; ++y)
        EXPECT_TRUE(std::equal(image.data.begin() + (2 - y) * 20, image.data.begin() + (3 - y) * 20,
                               picture.data.begin() + y * 20));
}

// A level of a chain is written from its own offset; an empty level, one
// past the block or of another depth is not written.
TEST(Png, LevelsAndRefusedLevels) {
    image_buffer chain = pattern_image(8, 8, 24, 3);
    chain.num_mipmaps = 2;
    chain.data.resize(static_cast<size_t>(mip_chain_bytes(chain)), 7);
    chain.width = chain.height = 4;
    std::vector<uint8_t> file;
    ASSERT_EQ(encode_png(file, chain, 8 * 8 * 3), kgf_status::ok);
    image_buffer image;
    ASSERT_EQ(decode(file, image), kgf_status::ok);
    std::vector<uint8_t> level(4 * 4 * 4, 7);
    for (size_t i = 3; i < level.size(); i += 4)
        level[i] = 255;
    EXPECT_EQ(image.data, level);
    EXPECT_EQ(encode_png(file, chain, 8 * 8 * 3 + 1), kgf_status::bad_image_size);
    chain.width = 0;
    EXPECT_EQ(encode_png(file, chain, 0), kgf_status::bad_image_size);
    image_buffer sixteen = pattern_image(4, 4, 16, 1);
    EXPECT_EQ(encode_png(file, sixteen, 0), kgf_status::bad_image_size);
}

// The damaged, the too large and the unknown, each refused for its reason
// before anything is decoded.
TEST(Png, RefusalsNameTheirReason) {
    std::vector<uint8_t> good;
    ASSERT_EQ(encode_png(good, pattern_image(9, 7, 32, 5), 0), kgf_status::ok);
    const size_t header = chunk_at(good, "IHDR"), data = chunk_at(good, "IDAT");
    const size_t end = chunk_at(good, "IEND");
    ASSERT_TRUE(header && data && end);
    const auto edited = [&](size_t at, uint8_t value, bool reseal, size_t chunk_start) {
        std::vector<uint8_t> file = good;
        file[at] = value;
        return reseal ? resealed(file, chunk_start) : file;
    };
    const auto sized = [&](uint32_t width, uint32_t height) {
        std::vector<uint8_t> file = good;
        set_big_endian_32(file, header + 8, width);
        set_big_endian_32(file, header + 12, height);
        return resealed(file, header);
    };
    const std::vector<uint8_t> rows(1 + 9 * 4, 0);
    const auto cut_short = kgf_status::png_cut_short, not_png = kgf_status::not_png,
               checksum = kgf_status::bad_png_checksum, bad_data = kgf_status::bad_png_data,
               too_large = kgf_status::image_too_large, unsupported = kgf_status::unsupported_png;
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        kgf_status status;
    } cases[] = {
        {"empty", {}, cut_short},
        {"signature only", {good.begin(), good.begin() + 8}, cut_short},
        {"cut in the data", {good.begin(), good.begin() + static_cast<long>(data) + 20}, cut_short},
        {"no end chunk", {good.begin(), good.begin() + static_cast<long>(end)}, cut_short},
        {"a TGA", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, not_png},
        {"bad signature", edited(1, 'p', false, 0), not_png},
        {"data checksum", edited(data + 10, good[data + 10] ^ 1, false, 0), checksum},
        {"header checksum", edited(header + 8 + 12, 9, false, 0), checksum},
        {"deflate damaged", edited(data + 10, good[data + 10] ^ 0x55, true, data), bad_data},
        {"too wide", sized(40000, 7), too_large},
        {"sides past 31 bits", sized(0x80000000u, 7), bad_data},
        {"too many pixels", sized(20000, 20000), too_large},
        {"16 bits past 1 GiB", png_file(32767, 32767, 16, 6, 0, rows), too_large},
        {"width 0", sized(0, 7), bad_data},
        {"rows short", sized(9, 8), bad_data},
        {"rows long", sized(9, 6), bad_data},
        {"interlace method 2", edited(header + 8 + 12, 2, true, header), unsupported},
        {"depth 3", edited(header + 8 + 8, 3, true, header), unsupported},
        {"colour type 5", edited(header + 8 + 9, 5, true, header), unsupported},
        {"16-bit palette", png_file(1, 1, 16, 3, 0, {0, 0, 0}), unsupported},
        {"unknown critical chunk", png_file(1, 1, 8, 0, 0, {0, 0}, chunk("ABCD", {1})),
         unsupported},
        {"palette without PLTE", png_file(1, 1, 8, 3, 0, {0, 0}), bad_data},
        {"header not first",
         png_file(1, 1, 8, 0, 0, {0, 0}, chunk("IHDR", std::vector<uint8_t>(13))), bad_data},
        {"bad filter type", png_file(1, 1, 8, 0, 0, {9, 0}), bad_data},
    };
    for (const auto& c : cases) {
        image_buffer image;
        EXPECT_EQ(decode(c.file, image), c.status) << c.what;
        png_header found;
        if (std::string(c.what) != "bad filter type") {
            EXPECT_EQ(check_png(c.file.data(), c.file.size(), found), c.status) << c.what;
        }
    }
}

// Liberal where the picture stays clear: ancillary chunks of any kind, bytes
// after the end chunk, a transparency chunk that does not fit (ignored) and
// palette indexes past the palette (opaque black).
TEST(Png, OddButReadable) {
    const std::vector<uint8_t> palette = {255, 0, 0, 0, 255, 0};
    const std::vector<uint8_t> rows = {0, 0, 1, 5};
    std::vector<uint8_t> before = chunk("PLTE", palette);
    const std::vector<uint8_t> text = chunk("tEXt", {'a', 0, 'b'});
    before.insert(before.end(), text.begin(), text.end());
    const std::vector<uint8_t> alpha = chunk("tRNS", {0x80, 0x40, 0x20});
    image_buffer image;

    std::vector<uint8_t> file = png_file(3, 1, 8, 3, 0, rows, before);
    file.push_back(0x42);
    ASSERT_EQ(decode(file, image), kgf_status::ok);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{0, 0, 255, 255, 0, 255, 0, 255, 0, 0, 0, 255}));

    std::vector<uint8_t> with_alpha = before;
    with_alpha.insert(with_alpha.end(), alpha.begin(), alpha.end()); // longer than the palette
    ASSERT_EQ(decode(png_file(3, 1, 8, 3, 0, rows, with_alpha), image), kgf_status::ok);
    EXPECT_EQ(image.data[3], 255);

    const std::vector<uint8_t> grey_alpha = chunk("tRNS", {0x01, 0x00}); // past 8 bits
    ASSERT_EQ(decode(png_file(2, 1, 8, 0, 0, {0, 0, 0}, grey_alpha), image), kgf_status::ok);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 0, 255}));
    const std::vector<uint8_t> grey_zero = chunk("tRNS", {0x00, 0x00});
    ASSERT_EQ(decode(png_file(2, 1, 8, 0, 0, {0, 0, 9}, grey_zero), image), kgf_status::ok);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{0, 0, 0, 0, 9, 9, 9, 255}));
    const std::vector<uint8_t> on_rgba = chunk("tRNS", {0, 0, 0, 0, 0, 0}); // has alpha already
    ASSERT_EQ(decode(png_file(1, 1, 8, 6, 0, {0, 0, 0, 0, 7}, on_rgba), image), kgf_status::ok);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{0, 0, 0, 7}));
}
