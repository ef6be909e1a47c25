#include "formats/kgf.h"
#include "platform/message.h"
#include "routines/image_info.h"
#include "routines/kgf_file.h"
#include "settings/settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const missing_data = "File is missing some data; do not use";

struct file_closer {
    void operator()(FILE* stream) const { std::fclose(stream); }
};
using file_handle = std::unique_ptr<FILE, file_closer>;

struct run {
    int count;
    unsigned value;
};

// The fixed part of a KGF file as the game expects it; parts can be spoiled.
std::vector<uint8_t> kgf_lead(const std::string& name, int mip_count, int width, int height,
                              std::vector<uint8_t> filler = std::vector<uint8_t>(9, 0),
                              unsigned format_field = 0x2820) {
    std::vector<uint8_t> bytes = {0x00, 0x00, 0x7A};
    put_text(bytes, name);
    bytes.push_back(static_cast<uint8_t>(mip_count));
    bytes.insert(bytes.end(), filler.begin(), filler.end());
    put_u16(bytes, static_cast<uint16_t>(width));
    put_u16(bytes, static_cast<uint16_t>(height));
    put_u16(bytes, format_field);
    return bytes;
}

void put_runs(std::vector<uint8_t>& bytes, const std::vector<run>& runs) {
    for (const run& r : runs) {
        bytes.push_back(static_cast<uint8_t>(r.count));
        put_u16(bytes, r.value);
    }
}

std::vector<uint8_t> pixel_bytes(const std::vector<unsigned>& pixels) {
    std::vector<uint8_t> bytes;
    for (unsigned p : pixels)
        put_u16(bytes, p);
    return bytes;
}

image_buffer make_image(int width, int height, int levels, const std::vector<uint8_t>& bytes) {
    image_buffer image;
    init_image_buffer(image, 16);
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    image.num_mipmaps = static_cast<int16_t>(levels);
    image.data = bytes;
    image.data.resize(static_cast<size_t>(mip_chain_bytes(image)));
    image.data.shrink_to_fit(); // the address checker then sees the block's end
    return image;
}

// Everything write_kgf hands to a real file.
std::vector<uint8_t> written_file(const scratch_folder& folder, const std::string& name,
                                  const image_buffer& image, int64_t total_bytes, int* result) {
    const std::string path = folder.file(name);
    {
        file_handle stream(std::fopen(path.c_str(), "wb"));
        EXPECT_TRUE(stream);
        *result = write_kgf(stream.get(), name.c_str(), image, total_bytes);
    }
    return read_file_bytes(path);
}

// Only the run data that rle_encode appends.
std::vector<uint8_t> encoded_runs(const image_buffer& image, int64_t total_bytes) {
    scratch_folder folder;
    int result = 0;
    std::vector<uint8_t> file = written_file(folder, "t.kgf", image, total_bytes, &result);
    EXPECT_EQ(result, 1);
    const size_t lead = 3 + 6 + kgf_fixed_header_bytes;
    return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(lead), file.end());
}

std::vector<uint8_t> runs_bytes(const std::vector<run>& runs) {
    std::vector<uint8_t> bytes;
    put_runs(bytes, runs);
    return bytes;
}

struct read_result {
    int result;
    image_buffer image;
    std::vector<std::string> messages;
};

read_result read_bytes(const std::vector<uint8_t>& file, int use_file_mipmaps, int for_display,
                       std::string* path_out = nullptr) {
    scratch_folder folder;
    const std::string path = folder.file("in.kgf");
    write_file_bytes(path, file);
    if (path_out != nullptr)
        *path_out = path;
    message_recorder recorder;
    read_result out;
    init_image_buffer(out.image, 16);
    out.result = read_kgf(path.c_str(), out.image, use_file_mipmaps, for_display);
    out.messages = recorder.texts();
    return out;
}

class KgfTest : public ::testing::Test {
  protected:
    void SetUp() override { reset_core_state(); }
};

// ---- writing -------------------------------------------------------------

TEST_F(KgfTest, TwoByTwoSingleColourFileIsTwentyEightBytes) {
    scratch_folder folder;
    const image_buffer image = make_image(2, 2, 1, pixel_bytes({0x1234, 0x1234, 0x1234, 0x1234}));
    int result = 0;
    const std::vector<uint8_t> file = written_file(folder, "abcde", image, 8, &result);
    EXPECT_EQ(result, 1);
    const std::vector<uint8_t> expected = {
        0x00, 0x00, 0x7A, 'a', 'b', 'c',  'd',  'e',  0x00, 0x01, 0,    0,    0,    0,
        0,    0,    0,    0,   0,   0x02, 0x00, 0x02, 0x00, 0x20, 0x28, 0x04, 0x34, 0x12};
    EXPECT_EQ(file, expected);
}

TEST_F(KgfTest, HeaderRecordCarriesImageFields) {
    image_buffer image = make_image(300, 7, 1, {});
    image.num_mipmaps = 0x105; // only the low byte is stored
    const kgf_header header = build_kgf_header(image);
    EXPECT_EQ(header.prefix[0], 0x00);
    EXPECT_EQ(header.prefix[1], 0x00);
    EXPECT_EQ(header.prefix[2], 0x7A);
    EXPECT_EQ(header.mip_count, 0x05);
    for (uint8_t b : header.filler)
        EXPECT_EQ(b, 0);
    EXPECT_EQ(header.width, 300);
    EXPECT_EQ(header.height, 7);
    EXPECT_EQ(header.format_field, 0x2820);
}

TEST_F(KgfTest, LongNameIsWrittenWhole) {
    scratch_folder folder;
    const std::string name(60, 'n');
    const image_buffer image = make_image(1, 1, 1, pixel_bytes({0x8001}));
    int result = 0;
    const std::vector<uint8_t> file = written_file(folder, name, image, 2, &result);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(file.size(), 3 + name.size() + 1 + 16 + 3);
    EXPECT_EQ(std::string(file.begin() + 3, file.begin() + 63), name);
    EXPECT_EQ(file[63], 0);
}

struct encode_case {
    const char* what;
    int width, height, levels;
    std::vector<unsigned> pixels; // the whole chain, pixel by pixel
    std::vector<run> runs;
};

class KgfEncodeTest : public ::testing::TestWithParam<encode_case> {};

TEST_P(KgfEncodeTest, Runs) {
    const encode_case& c = GetParam();
    const image_buffer image = make_image(c.width, c.height, c.levels, pixel_bytes(c.pixels));
    EXPECT_EQ(encoded_runs(image, mip_chain_bytes(image)), runs_bytes(c.runs)) << c.what;
}

std::vector<unsigned> repeat(unsigned value, int count) {
    return std::vector<unsigned>(static_cast<size_t>(count), value);
}

std::vector<unsigned> joined(std::initializer_list<std::vector<unsigned>> parts) {
    std::vector<unsigned> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KgfEncodeTest,
    ::testing::Values(
        encode_case{"one level single colour", 4, 4, 1, repeat(0x7C00, 16), {{16, 0x7C00}}},
        encode_case{"five levels single colour",
                    4,
                    4,
                    5,
                    repeat(0x7C00, 21),
                    {{16, 0x7C00}, {4, 0x7C00}, {0, 0x7C00}}},
        encode_case{"equal pixels across a level end",
                    2,
                    2,
                    2,
                    repeat(0x1111, 5),
                    {{4, 0x1111}, {0, 0x1111}}},
        encode_case{"single pixel run ends a level",
                    4,
                    4,
                    5,
                    joined({repeat(0xAAAA, 15), repeat(0xBBBB, 6)}),
                    {{15, 0xAAAA}, {0, 0xBBBB}, {4, 0xBBBB}, {0, 0xBBBB}}},
        encode_case{"600 equal pixels",
                    30,
                    20,
                    1,
                    repeat(0x0421, 600),
                    {{250, 0x0421}, {250, 0x0421}, {100, 0x0421}}},
        encode_case{
            "250 then one more", 251, 1, 1, repeat(0x0001, 251), {{250, 0x0001}, {0, 0x0001}}},
        encode_case{"alternating pixels", 4, 1, 1, {1, 2, 1, 1}, {{0, 1}, {0, 2}, {2, 1}}}),
    [](const ::testing::TestParamInfo<encode_case>& info) {
        return "case" + std::to_string(info.index);
    });

TEST_F(KgfTest, OddChainEndsInHalfPixelWithZeroHighByte) {
    // 6 x 6 with five levels: 72 + 18 + 4 + 1 + 0 = 95 bytes.
    std::vector<uint8_t> bytes(95, 0x00);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    const image_buffer image = make_image(6, 6, 5, bytes);
    ASSERT_EQ(image.data.size(), 95u);
    const std::vector<uint8_t> runs = encoded_runs(image, 95);
    // One run per pixel: 47 whole pixels and the half pixel.
    ASSERT_EQ(runs.size(), 48u * 3);
    const std::vector<uint8_t> last(runs.end() - 3, runs.end());
    EXPECT_EQ(last, (std::vector<uint8_t>{0, 94, 0}));
}

TEST_F(KgfTest, EncodeRefusesChainLongerThanBlock) {
    image_buffer image = make_image(4, 4, 1, {});
    image.data.resize(20);
    image.data.shrink_to_fit();
    scratch_folder folder;
    file_handle stream(std::fopen(folder.file("x.kgf").c_str(), "wb"));
    ASSERT_TRUE(stream);
    EXPECT_EQ(rle_encode(stream.get(), image, 32), 0);
}

TEST_F(KgfTest, EncodeHonoursShorterTotal) {
    // A total that ends inside level 0 stops the runs there.
    const image_buffer image = make_image(4, 4, 1, pixel_bytes(repeat(0x0005, 16)));
    EXPECT_EQ(encoded_runs(image, 10), runs_bytes({{5, 0x0005}}));
}

TEST_F(KgfTest, WriteFailuresAreReported) {
    scratch_folder folder;
    const std::string path = folder.file("ro.kgf");
    write_file_bytes(path, {1, 2, 3});
    const image_buffer image = make_image(2, 2, 1, pixel_bytes(repeat(7, 4)));
    file_handle stream(std::fopen(path.c_str(), "rb")); // not open for writing
    ASSERT_TRUE(stream);
    EXPECT_EQ(write_kgf(stream.get(), "ro.kgf", image, 8), 0);
    EXPECT_EQ(rle_encode(stream.get(), image, 8), 0);
}

#ifdef __linux__
TEST_F(KgfTest, WriteToFullDeviceFails) {
    // Enough distinct pixels that the runs overflow the stream's buffer.
    std::vector<unsigned> pixels;
    for (int i = 0; i < 128 * 128; ++i)
        pixels.push_back(static_cast<unsigned>(i & 1));
    const image_buffer image = make_image(128, 128, 1, pixel_bytes(pixels));
    file_handle stream(std::fopen("/dev/full", "wb"));
    if (!stream)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(write_kgf(stream.get(), "full.kgf", image, mip_chain_bytes(image)), 0);
}
#endif

// ---- round trips ---------------------------------------------------------

struct round_trip_case {
    int width, height, levels;
};

class KgfRoundTripTest : public ::testing::TestWithParam<round_trip_case> {
  protected:
    void SetUp() override { reset_core_state(); }
};

TEST_P(KgfRoundTripTest, WriteThenReadGivesSameChain) {
    const round_trip_case& c = GetParam();
    // Few distinct values, so that runs of every length occur.
    std::mt19937 random(static_cast<unsigned>(c.width * 1000 + c.height * 10 + c.levels));
    image_buffer image = make_image(c.width, c.height, c.levels, {});
    for (size_t i = 0; i < image.data.size(); i += 2) {
        const unsigned value = (random() % 4 == 0) ? random() & 0xFFFF : 0x8421;
        const size_t stretch = random() % 300;
        for (size_t k = 0; k <= stretch && i + 2 * k < image.data.size(); ++k) {
            image.data[i + 2 * k] = static_cast<uint8_t>(value);
            if (i + 2 * k + 1 < image.data.size())
                image.data[i + 2 * k + 1] = static_cast<uint8_t>(value >> 8);
        }
        i += 2 * stretch;
    }

    scratch_folder folder;
    int result = 0;
    written_file(folder, "rt.kgf", image, mip_chain_bytes(image), &result);
    ASSERT_EQ(result, 1);

    settings.mipmaps = 1;
    message_recorder recorder;
    image_buffer back;
    init_image_buffer(back, 16);
    ASSERT_EQ(read_kgf(folder.file("rt.kgf").c_str(), back, all_levels, for_conversion), 1);
    EXPECT_TRUE(recorder.texts().empty());
    EXPECT_EQ(back.width, c.width);
    EXPECT_EQ(back.height, c.height);
    EXPECT_EQ(back.num_mipmaps, c.levels);
    EXPECT_EQ(back.data, image.data);
    EXPECT_EQ(image_info.mip_levels, c.levels);
}

INSTANTIATE_TEST_SUITE_P(Sizes, KgfRoundTripTest,
                         ::testing::Values(round_trip_case{1, 1, 1}, round_trip_case{1, 1, 5},
                                           round_trip_case{3, 5, 1}, round_trip_case{3, 5, 5},
                                           round_trip_case{64, 64, 1}, round_trip_case{64, 64, 5},
                                           round_trip_case{6, 6, 1}, round_trip_case{6, 6, 5},
                                           round_trip_case{6, 3, 3}, round_trip_case{300, 90, 5},
                                           round_trip_case{0, 0, 1}),
                         [](const ::testing::TestParamInfo<round_trip_case>& info) {
                             const round_trip_case& c = info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) + "_" +
                                    std::to_string(c.levels);
                         });

// ---- reading -------------------------------------------------------------

TEST_F(KgfTest, ReadsHandMadeFile) {
    std::vector<uint8_t> file = kgf_lead("abcde", 1, 2, 2);
    put_runs(file, {{4, 0x1234}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.image.width, 2);
    EXPECT_EQ(r.image.height, 2);
    EXPECT_EQ(r.image.num_mipmaps, 1);
    EXPECT_EQ(r.image.data, pixel_bytes(repeat(0x1234, 4)));
}

// Names are skipped a step of 64 KiB at a time: a NUL on either side of a
// step's end, and a header cut just after the name, read as a short name's.
TEST_F(KgfTest, NamesLongerThanAReadStepAreSkipped) {
    constexpr size_t step = 64 * 1024;
    for (const size_t length : {step - 5, step - 4, step - 3, step + 10, 3 * step}) {
        std::vector<uint8_t> file = kgf_lead(std::string(length, 'q'), 1, 2, 2);
        put_runs(file, {{4, 0x1234}});
        const read_result whole = read_bytes(file, all_levels, for_conversion);
        EXPECT_EQ(whole.result, 1) << length;
        EXPECT_EQ(whole.image.data, pixel_bytes(repeat(0x1234, 4))) << length;
        file.resize(3 + length + 1 + 5); // inside the fixed fields
        const read_result cut = read_bytes(file, all_levels, for_conversion);
        EXPECT_EQ(cut.result, 0) << length;
        EXPECT_EQ(cut.messages, std::vector<std::string>{"File is missing some data; do not use"});
    }
}

TEST_F(KgfTest, MissingFileFailsSilently) {
    scratch_folder folder;
    message_recorder recorder;
    image_buffer image;
    init_image_buffer(image, 16);
    EXPECT_EQ(read_kgf(folder.file("none.kgf").c_str(), image, all_levels, for_conversion), 0);
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_TRUE(image.data.empty());
}

struct count_case {
    int count_byte;
    int pixels;
};

class KgfCountTest : public ::testing::TestWithParam<count_case> {
  protected:
    void SetUp() override { reset_core_state(); }
};

TEST_P(KgfCountTest, CountByteDecodesToPixels) {
    const count_case& c = GetParam();
    std::vector<uint8_t> file = kgf_lead("c", 1, c.pixels, 1);
    put_runs(file, {{c.count_byte, 0xBEEF}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.data, pixel_bytes(repeat(0xBEEF, c.pixels)));
}

INSTANTIATE_TEST_SUITE_P(Counts, KgfCountTest,
                         ::testing::Values(count_case{0, 1}, count_case{1, 1}, count_case{2, 2},
                                           count_case{250, 250}, count_case{251, 251},
                                           count_case{252, 252}, count_case{253, 253},
                                           count_case{254, 254}, count_case{255, 255}),
                         [](const ::testing::TestParamInfo<count_case>& info) {
                             return "count_byte_" + std::to_string(info.param.count_byte);
                         });

TEST_F(KgfTest, FillerAndFieldWarningsOnceEachInOrder) {
    std::vector<uint8_t> file = kgf_lead("w", 1, 1, 1, {0, 5, 0, 7, 9, 0, 0, 0, 1}, 0x1234);
    put_runs(file, {{0, 0x8000}});
    std::string path;
    scratch_folder folder;
    path = folder.file("w.kgf");
    write_file_bytes(path, file);
    message_recorder recorder;
    image_buffer image;
    init_image_buffer(image, 16);
    EXPECT_EQ(read_kgf(path.c_str(), image, all_levels, for_conversion), 1);
    ASSERT_EQ(recorder.messages().size(), 2u);
    EXPECT_EQ(recorder.messages()[0].text, path + ": Bad filler!");
    EXPECT_EQ(recorder.messages()[1].text, path + ": Bad field value!");
    for (const recorded_message& m : recorder.messages()) {
        EXPECT_EQ(m.caption, "Error");
        EXPECT_EQ(m.style, message_ok | message_icon_error);
    }
    EXPECT_EQ(image.data, pixel_bytes({0x8000}));
}

TEST_F(KgfTest, LastFillerByteAloneWarns) {
    std::vector<uint8_t> file = kgf_lead("w", 1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0, 1});
    put_runs(file, {{0, 0x8000}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 1);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_NE(r.messages[0].find(": Bad filler!"), std::string::npos);
}

// A 4 x 4 file declaring five levels with level 0 in rows 0x0100 + row.
std::vector<uint8_t> five_level_file(bool lower_levels_present) {
    std::vector<uint8_t> file = kgf_lead("five.kgf", 5, 4, 4);
    put_runs(file, {{4, 0x0100}, {4, 0x0101}, {4, 0x0102}, {4, 0x0103}});
    if (lower_levels_present)
        put_runs(file, {{4, 0x0200}, {0, 0x0300}});
    return file;
}

TEST_F(KgfTest, PreviewReadsLevelZeroOnlyWithRowsReversed) {
    settings.mipmaps = 1;
    const read_result r = read_bytes(five_level_file(true), 0, 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(r.image.num_mipmaps, 1);
    EXPECT_EQ(r.image.data, pixel_bytes(joined({repeat(0x0103, 4), repeat(0x0102, 4),
                                                repeat(0x0101, 4), repeat(0x0100, 4)})));
    EXPECT_EQ(image_info.mip_levels, 5);
}

TEST_F(KgfTest, ConversionWithMipmapsOffReadsLevelZeroOnly) {
    settings.mipmaps = 0;
    const read_result r = read_bytes(five_level_file(true), 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.num_mipmaps, 1);
    EXPECT_EQ(r.image.data, pixel_bytes(joined({repeat(0x0100, 4), repeat(0x0101, 4),
                                                repeat(0x0102, 4), repeat(0x0103, 4)})));
    EXPECT_EQ(image_info.mip_levels, 5);
}

TEST_F(KgfTest, ConversionWithMipmapsOnReadsEveryLevel) {
    settings.mipmaps = 1;
    const read_result r = read_bytes(five_level_file(true), 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.num_mipmaps, 5);
    EXPECT_EQ(r.image.data, pixel_bytes(joined({repeat(0x0100, 4),
                                                repeat(0x0101, 4),
                                                repeat(0x0102, 4),
                                                repeat(0x0103, 4),
                                                repeat(0x0200, 4),
                                                {0x0300}})));
}

TEST_F(KgfTest, DisplayModeDropsLowerLevels) {
    settings.mipmaps = 1;
    const read_result r = read_bytes(five_level_file(true), 1, 1);
    EXPECT_EQ(r.result, 1);
    ASSERT_EQ(r.image.data.size(), 42u);
    EXPECT_EQ(r.image.data,
              pixel_bytes(joined({repeat(0x0103, 4), repeat(0x0102, 4), repeat(0x0101, 4),
                                  repeat(0x0100, 4), repeat(0, 5)})));
}

TEST_F(KgfTest, LevelZeroOnlyFileServesPreviewButNotConversion) {
    settings.mipmaps = 1;
    const read_result preview = read_bytes(five_level_file(false), 0, 1);
    EXPECT_EQ(preview.result, 1);
    EXPECT_TRUE(preview.messages.empty());

    const read_result conversion = read_bytes(five_level_file(false), 1, 0);
    EXPECT_EQ(conversion.result, 0);
    EXPECT_EQ(conversion.messages, std::vector<std::string>{missing_data});
    // What was decoded stays for the caller to release.
    ASSERT_EQ(conversion.image.data.size(), 42u);
    EXPECT_EQ(conversion.image.data[0], 0x00);
    EXPECT_EQ(conversion.image.data[1], 0x01);
    EXPECT_EQ(conversion.image.data[31], 0x01);
    EXPECT_EQ(conversion.image.data[32], 0x00);
}

TEST_F(KgfTest, DisplayModeOddHeightKeepsMiddleRow) {
    std::vector<uint8_t> file = kgf_lead("r", 1, 2, 3);
    put_runs(file, {{2, 0xA}, {2, 0xB}, {0, 0xC}, {0, 0xD}});
    const read_result r = read_bytes(file, 0, 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.data, pixel_bytes({0xC, 0xD, 0xB, 0xB, 0xA, 0xA}));
}

TEST_F(KgfTest, DisplayModeLeavesBlockEmptyWhenDataIsMissing) {
    std::vector<uint8_t> file = kgf_lead("r", 1, 2, 2);
    put_runs(file, {{2, 0xA}, {0, 0xB}});
    const read_result r = read_bytes(file, 0, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.messages, std::vector<std::string>{missing_data});
    EXPECT_EQ(r.image.data, std::vector<uint8_t>(8, 0));
}

TEST_F(KgfTest, MipLevelsRecordedWhateverTheFlags) {
    for (int use_file : {0, 1})
        for (int display : {0, 1}) {
            reset_core_state();
            std::vector<uint8_t> file = kgf_lead("m", 9, 1, 1);
            put_runs(file, {{0, 1}});
            const read_result r = read_bytes(file, use_file, display);
            EXPECT_EQ(r.result, 1);
            EXPECT_EQ(image_info.mip_levels, 9);
        }
}

TEST_F(KgfTest, ZeroSizeIsAnEmptyImage) {
    const read_result r = read_bytes(kgf_lead("z", 1, 0, 0), 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_TRUE(r.image.data.empty());
}

TEST_F(KgfTest, ZeroMipCountFromFileIsAnEmptyChain) {
    settings.mipmaps = 1;
    const read_result r = read_bytes(kgf_lead("z", 0, 4, 4), 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.num_mipmaps, 0);
    EXPECT_TRUE(r.image.data.empty());
}

// ---- damaged files -------------------------------------------------------

TEST_F(KgfTest, TruncatedLeadFailsWithMissingData) {
    std::vector<uint8_t> whole = kgf_lead("name", 3, 1, 1, std::vector<uint8_t>(9, 1), 0x1111);
    put_runs(whole, {{0, 1}});
    // Cut in the prefix, in the name, right after the name, after mip_count,
    // inside the filler and inside the sizes.
    for (size_t cut : {0u, 2u, 3u, 6u, 8u, 9u, 10u, 14u, 21u, 23u}) {
        reset_core_state();
        const std::vector<uint8_t> file(whole.begin(), whole.begin() + static_cast<long>(cut));
        const read_result r = read_bytes(file, 1, 0);
        EXPECT_EQ(r.result, 0) << cut;
        EXPECT_EQ(r.messages, std::vector<std::string>{missing_data}) << cut;
        EXPECT_TRUE(r.image.data.empty()) << cut;
        EXPECT_EQ(image_info.mip_levels, cut >= 9 ? 3 : 0) << cut;
    }
}

TEST_F(KgfTest, NameWithoutNulStopsAtEndOfFile) {
    std::vector<uint8_t> file(5003, 'x');
    file[0] = 0x00;
    file[1] = 0x00;
    file[2] = 0x7A;
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.messages, std::vector<std::string>{missing_data});
}

TEST_F(KgfTest, NegativeSizeIsRefused) {
    for (const auto& size : {std::pair{-1, 4}, std::pair{4, -3}, std::pair{-32768, -32768}}) {
        std::vector<uint8_t> file = kgf_lead("neg", 1, size.first, size.second);
        put_runs(file, {{0, 1}});
        std::string path;
        const read_result r = read_bytes(file, 1, 0, &path);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.messages, std::vector<std::string>{path + ": Bad image size!"});
        EXPECT_TRUE(r.image.data.empty());
    }
}

TEST_F(KgfTest, HugeClaimWithTinyFileIsRefusedBeforeAllocating) {
    settings.mipmaps = 1;
    std::vector<uint8_t> file = kgf_lead("huge", 5, 32767, 32767);
    put_runs(file, {{255, 0xFFFF}, {255, 0xFFFF}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.messages, std::vector<std::string>{missing_data});
    EXPECT_TRUE(r.image.data.empty());
}

TEST_F(KgfTest, SizeCheckAcceptsFileOfLongestRuns) {
    // 255 x 2 pixels: exactly two runs of 255.
    std::vector<uint8_t> file = kgf_lead("full", 1, 255, 2);
    put_runs(file, {{255, 0x4321}, {255, 0x4321}});
    const read_result whole = read_bytes(file, 1, 0);
    EXPECT_EQ(whole.result, 1);
    EXPECT_EQ(whole.image.data, pixel_bytes(repeat(0x4321, 510)));

    file.pop_back(); // the last run is no longer complete
    const read_result cut = read_bytes(file, 1, 0);
    EXPECT_EQ(cut.result, 0);
    EXPECT_EQ(cut.messages, std::vector<std::string>{missing_data});
}

TEST_F(KgfTest, PartialLastRunIsNotApplied) {
    std::vector<uint8_t> file = kgf_lead("p", 1, 4, 1);
    put_runs(file, {{2, 0x1111}});
    file.push_back(2);
    file.push_back(0x22); // the high byte is missing
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.messages, std::vector<std::string>{missing_data});
    EXPECT_EQ(r.image.data, pixel_bytes({0x1111, 0x1111, 0, 0}));
}

TEST_F(KgfTest, RunPastEndIsCutAtTheBlock) {
    std::vector<uint8_t> file = kgf_lead("p", 1, 3, 1);
    put_runs(file, {{2, 0x1111}, {200, 0x2222}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.image.data, pixel_bytes({0x1111, 0x1111, 0x2222}));
}

TEST_F(KgfTest, OddChainKeepsLowByteOfStraddlingPixel) {
    settings.mipmaps = 1;
    std::vector<uint8_t> file = kgf_lead("odd", 5, 6, 6);
    put_runs(file, {{36, 0x1111}, {9, 0x2222}, {2, 0x3333}, {0, 0x4455}});
    const read_result r = read_bytes(file, 1, 0);
    EXPECT_EQ(r.result, 1);
    ASSERT_EQ(r.image.data.size(), 95u);
    EXPECT_EQ(r.image.data[92], 0x33);
    EXPECT_EQ(r.image.data[93], 0x33);
    EXPECT_EQ(r.image.data[94], 0x55);
}

#ifndef _WIN32
TEST_F(KgfTest, InputsThatAreNotFilesAreRefusedByName) {
    // A folder, a device and a pipe are refused before they are read, so
    // that nothing blocks or reads for ever.
    scratch_folder folder;
    const std::string pipe = folder.file("pipe.kgf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {folder.path, std::string("/dev/zero"), pipe}) {
        message_recorder recorder;
        image_buffer image;
        init_image_buffer(image, 16);
        EXPECT_EQ(read_kgf(path.c_str(), image, all_levels, for_conversion), 0);
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{path + ": Not a regular file!"});
    }
}
#endif

// ---- the decoder on its own ----------------------------------------------

#ifndef _WIN32
// Reading a stream opened only for writing fails with the error indicator here.
TEST_F(KgfTest, DecodeFromUnreadableStreamIsAnError) {
    scratch_folder folder;
    file_handle stream(std::fopen(folder.file("w.bin").c_str(), "wb"));
    ASSERT_TRUE(stream);
    image_buffer image = make_image(2, 2, 1, {});
    EXPECT_EQ(rle_decode(stream.get(), image, 8, 0), -1);
}
#endif

TEST_F(KgfTest, DecodeCountsWholeLastRun) {
    scratch_folder folder;
    const std::string path = folder.file("runs.bin");
    write_file_bytes(path, runs_bytes({{3, 0x0102}, {250, 0x0304}}));
    file_handle stream(std::fopen(path.c_str(), "rb"));
    ASSERT_TRUE(stream);
    image_buffer image = make_image(5, 1, 1, {});
    EXPECT_EQ(rle_decode(stream.get(), image, 10, 0), 506);
    EXPECT_EQ(image.data, pixel_bytes({0x0102, 0x0102, 0x0102, 0x0304, 0x0304}));
}

TEST_F(KgfTest, DecodeNeverWritesPastBlock) {
    // The caller's block is smaller than the bytes it asks for.
    scratch_folder folder;
    const std::string path = folder.file("runs.bin");
    write_file_bytes(path, runs_bytes({{20, 0x0707}}));
    file_handle stream(std::fopen(path.c_str(), "rb"));
    ASSERT_TRUE(stream);
    image_buffer image = make_image(2, 1, 1, {});
    image.data.resize(3);
    image.data.shrink_to_fit();
    EXPECT_EQ(rle_decode(stream.get(), image, 40, 0), 40);
    EXPECT_EQ(image.data, (std::vector<uint8_t>{7, 7, 7}));
}

TEST_F(KgfTest, DecodeManyBlocksOfRuns) {
    // More runs than one bulk read takes, ending in a partial run.
    std::vector<run> runs;
    std::vector<unsigned> pixels;
    for (int i = 0; i < 10000; ++i) {
        runs.push_back({0, static_cast<unsigned>(i)});
        pixels.push_back(static_cast<unsigned>(i));
    }
    std::vector<uint8_t> bytes = runs_bytes(runs);
    scratch_folder folder;
    const std::string path = folder.file("runs.bin");

    write_file_bytes(path, bytes);
    {
        file_handle stream(std::fopen(path.c_str(), "rb"));
        image_buffer image = make_image(100, 100, 1, {});
        EXPECT_EQ(rle_decode(stream.get(), image, 20000, 0), 20000);
        EXPECT_EQ(image.data, pixel_bytes(pixels));
    }
    bytes.resize(bytes.size() - 1);
    write_file_bytes(path, bytes);
    {
        file_handle stream(std::fopen(path.c_str(), "rb"));
        image_buffer image = make_image(100, 100, 1, {});
        EXPECT_EQ(rle_decode(stream.get(), image, 20000, 0), 19998);
        EXPECT_EQ(image.data[19997], static_cast<uint8_t>(9998 >> 8));
        EXPECT_EQ(image.data[19998], 0);
    }
}

#if defined(__GLIBC__)
// A stream that hands out its bytes and then fails, as a failing disk would.
struct failing_source {
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

ssize_t read_then_fail(void* cookie, char* buffer, size_t size) {
    auto* source = static_cast<failing_source*>(cookie);
    if (source->position >= source->bytes.size())
        return -1;
    const size_t n = std::min(size, source->bytes.size() - source->position);
    std::memcpy(buffer, source->bytes.data() + source->position, n);
    source->position += n;
    return static_cast<ssize_t>(n);
}

int64_t decode_failing(const std::vector<run>& runs, int64_t expected) {
    failing_source source{runs_bytes(runs)};
    cookie_io_functions_t functions{read_then_fail, nullptr, nullptr, nullptr};
    file_handle stream(fopencookie(&source, "rb", functions));
    EXPECT_TRUE(stream);
    image_buffer image = make_image(static_cast<int>(expected / 2), 1, 1, {});
    return rle_decode(stream.get(), image, expected, 0);
}

TEST_F(KgfTest, ErrorAfterEnoughRunsIsNotAnError) {
    EXPECT_EQ(decode_failing({{2, 1}, {2, 2}}, 8), 8);
}

TEST_F(KgfTest, ErrorBeforeEnoughRunsIsAnError) {
    EXPECT_EQ(decode_failing({{2, 1}, {2, 2}}, 12), -1);
}
#endif

} // namespace
