// The KGF encoder, decoder and run-length code, over bytes in memory.
#include "formats/kgf.h"
#include "formats/rle.h"
#include "support/core_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using run = kgf_run;
using bytes = std::vector<uint8_t>;

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

std::vector<uint8_t> pixel_bytes(const std::vector<unsigned>& pixels) {
    std::vector<uint8_t> bytes;
    for (unsigned p : pixels)
        put_u16(bytes, p);
    return bytes;
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

image_buffer make_image(int width, int height, int levels, const std::vector<uint8_t>& bytes) {
    // The block ends where the chain does, for the address checker.
    image_buffer image = blank_image(16, width, height, levels);
    std::copy_n(bytes.begin(), std::min(bytes.size(), image.data.size()), image.data.begin());
    return image;
}

// The run data encode_kgf writes after a one-character name.
std::vector<uint8_t> encoded_runs(const image_buffer& image, int64_t total_bytes) {
    std::vector<uint8_t> file;
    EXPECT_EQ(encode_kgf(file, "t", image, total_bytes), kgf_status::ok);
    const size_t lead = 3 + 2 + kgf_fixed_header_bytes;
    return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(lead), file.end());
}

struct decoded {
    kgf_status status;
    image_buffer image;
    kgf_reading reading;
};

decoded decode(const std::vector<uint8_t>& file, kgf_levels levels = kgf_levels::from_file,
               row_order rows = row_order::top_first) {
    decoded out;
    init_image_buffer(out.image, 16);
    byte_reader reader = reader_of(file);
    out.status = decode_kgf(reader, out.image, levels, rows, out.reading);
    return out;
}

// ---- writing -------------------------------------------------------------

TEST(KgfEncode, TwoByTwoSingleColourFileIsTwentyEightBytes) {
    const image_buffer image = make_image(2, 2, 1, pixel_bytes({0x1234, 0x1234, 0x1234, 0x1234}));
    std::vector<uint8_t> file = {0xEE}; // encoding appends
    ASSERT_EQ(encode_kgf(file, "abcde", image, 8), kgf_status::ok);
    const std::vector<uint8_t> expected = {
        0xEE, 0x00, 0x00, 0x7A, 'a', 'b',  'c',  'd',  'e',  0x00, 0x01, 0,    0,    0,   0,
        0,    0,    0,    0,    0,   0x02, 0x00, 0x02, 0x00, 0x20, 0x28, 0x04, 0x34, 0x12};
    EXPECT_EQ(file, expected);
}

TEST(KgfEncode, HeaderRecordCarriesImageFields) {
    image_buffer image = make_image(300, 7, 1, {});
    image.num_mipmaps = 0x105; // only the low byte is stored
    const kgf_header header = build_kgf_header(image);
    EXPECT_EQ(bytes(header.prefix, header.prefix + 3), (bytes{0x00, 0x00, 0x7A}));
    EXPECT_EQ(header.mip_count, 0x05);
    EXPECT_EQ(bytes(header.filler, header.filler + 9), bytes(9, 0));
    EXPECT_EQ(header.width, 300);
    EXPECT_EQ(header.height, 7);
    EXPECT_EQ(header.format_field, 0x2820);
}

TEST(KgfEncode, LongNameIsWrittenWhole) {
    const std::string name(60, 'n');
    const image_buffer image = make_image(1, 1, 1, pixel_bytes({0x8001}));
    std::vector<uint8_t> file;
    ASSERT_EQ(encode_kgf(file, name.c_str(), image, 2), kgf_status::ok);
    ASSERT_EQ(file.size(), 3 + name.size() + 1 + 16 + 3);
    EXPECT_EQ(std::string(file.begin() + 3, file.begin() + 63), name);
    EXPECT_EQ(file[63], 0);
}

TEST(KgfEncode, RunsOfEachChain) {
    const unsigned red = 0x7C00, grey = 0x0421;
    const struct {
        const char* what;
        int width, height, levels;
        std::vector<unsigned> pixels; // the whole chain, pixel by pixel
        std::vector<run> runs;
    } cases[] = {
        {"one level single colour", 4, 4, 1, repeat(red, 16), {{16, red}}},
        {"five levels single colour", 4, 4, 5, repeat(red, 21), {{16, red}, {4, red}, {0, red}}},
        {"equal pixels across a level end", 2, 2, 2, repeat(0x1111, 5), {{4, 0x1111}, {0, 0x1111}}},
        {"single pixel run ends a level", 4, 4, 5, joined({repeat(0xAAAA, 15), repeat(0xBBBB, 6)}),
         std::vector<run>{{15, 0xAAAA}, {0, 0xBBBB}, {4, 0xBBBB}, {0, 0xBBBB}}},
        {"600 equal pixels", 30, 20, 1, repeat(grey, 600), {{250, grey}, {250, grey}, {100, grey}}},
        {"250 then one more", 251, 1, 1, repeat(0x0001, 251), {{250, 0x0001}, {0, 0x0001}}},
        {"alternating pixels", 4, 1, 1, {1, 2, 1, 1}, {{0, 1}, {0, 2}, {2, 1}}},
    };
    for (const auto& c : cases) {
        const image_buffer image = make_image(c.width, c.height, c.levels, pixel_bytes(c.pixels));
        EXPECT_EQ(encoded_runs(image, mip_chain_bytes(image)), runs_bytes(c.runs)) << c.what;
    }
}

TEST(KgfEncode, OddChainEndsInHalfPixelWithZeroHighByte) {
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

TEST(KgfEncode, RefusesChainLongerThanBlockAndHonoursShorterTotal) {
    image_buffer image = make_image(4, 4, 1, pixel_bytes(repeat(0x0005, 16)));
    // A total that ends inside level 0 stops the runs there.
    EXPECT_EQ(encoded_runs(image, 10), runs_bytes({{5, 0x0005}}));

    image.data.resize(20);
    image.data.shrink_to_fit();
    std::vector<uint8_t> file = {7};
    EXPECT_EQ(encode_kgf(file, "x", image, 32), kgf_status::bad_image_size);
    EXPECT_EQ(file, std::vector<uint8_t>{7});
}

// ---- round trips ---------------------------------------------------------

TEST(KgfRoundTrip, EncodeThenDecodeGivesSameChain) {
    const struct {
        int width, height, levels;
    } sizes[] = {{1, 1, 1}, {1, 1, 5}, {3, 5, 1}, {3, 5, 5},    {64, 64, 1}, {64, 64, 5},
                 {6, 6, 1}, {6, 6, 5}, {6, 3, 3}, {300, 90, 5}, {0, 0, 1}};
    for (const auto& c : sizes) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", " << c.levels);
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
        std::vector<uint8_t> file;
        ASSERT_EQ(encode_kgf(file, "rt.kgf", image, mip_chain_bytes(image)), kgf_status::ok);

        const decoded back = decode(file);
        ASSERT_EQ(back.status, kgf_status::ok);
        EXPECT_EQ(back.image.width, c.width);
        EXPECT_EQ(back.image.height, c.height);
        EXPECT_EQ(back.image.num_mipmaps, c.levels);
        EXPECT_EQ(back.image.data, image.data);
        EXPECT_EQ(back.reading.header.mip_count, c.levels);
        EXPECT_FALSE(kgf_filler_is_bad(back.reading.header));
        EXPECT_FALSE(kgf_field_is_bad(back.reading.header));
    }
}

// ---- reading -------------------------------------------------------------

TEST(KgfDecode, ReadsHandMadeFile) {
    std::vector<uint8_t> file = kgf_lead("abcde", 1, 2, 2);
    put_runs(file, {{4, 0x1234}});
    const decoded r = decode(file);
    EXPECT_EQ(r.status, kgf_status::ok);
    EXPECT_TRUE(r.reading.header_read);
    EXPECT_EQ(r.image.width, 2);
    EXPECT_EQ(r.image.height, 2);
    EXPECT_EQ(r.image.num_mipmaps, 1);
    EXPECT_EQ(r.image.data, pixel_bytes(repeat(0x1234, 4)));
}

// Names are skipped a step of 64 KiB at a time: a NUL on either side of a
// step's end, and a header cut just after the name, read as a short name's.
TEST(KgfDecode, NamesLongerThanAReadStepAreSkipped) {
    constexpr size_t step = 64 * 1024;
    for (const size_t length : {step - 5, step - 4, step - 3, step + 10, 3 * step}) {
        std::vector<uint8_t> file = kgf_lead(std::string(length, 'q'), 1, 2, 2);
        put_runs(file, {{4, 0x1234}});
        const decoded whole = decode(file);
        EXPECT_EQ(whole.status, kgf_status::ok) << length;
        EXPECT_EQ(whole.image.data, pixel_bytes(repeat(0x1234, 4))) << length;
        file.resize(3 + length + 1 + 5); // inside the fixed fields
        EXPECT_EQ(decode(file).status, kgf_status::missing_data) << length;
    }
}

TEST(KgfDecode, CountByteDecodesToPixels) {
    const struct {
        int count_byte, pixels;
    } counts[] = {{0, 1},     {1, 1},     {2, 2},     {250, 250}, {251, 251},
                  {252, 252}, {253, 253}, {254, 254}, {255, 255}};
    for (const auto& c : counts) {
        std::vector<uint8_t> file = kgf_lead("c", 1, c.pixels, 1);
        put_runs(file, {{c.count_byte, 0xBEEF}});
        const decoded r = decode(file);
        EXPECT_EQ(r.status, kgf_status::ok) << c.count_byte;
        EXPECT_EQ(r.image.data, pixel_bytes(repeat(0xBEEF, c.pixels))) << c.count_byte;
    }
}

// Warnings come before the failure, once each, under the subject's name.
TEST(KgfDecode, HeaderWarningsAreReportedOnceEachInOrder) {
    const finding filler{kgf_status::bad_filler, "w.kgf"};
    const finding field{kgf_status::bad_field_value, "w.kgf"};
    const struct {
        const char* what;
        std::vector<uint8_t> filler;
        unsigned field;
        int width;
        std::vector<finding> expected;
    } cases[] = {
        {"both", {0, 5, 0, 7, 9, 0, 0, 0, 1}, 0x1234, 1, {filler, field}},
        {"last filler byte alone", {0, 0, 0, 0, 0, 0, 0, 0, 1}, 0x2820, 1, {filler}},
        {"field alone", std::vector<uint8_t>(9, 0), 0x2821, 1, {field}},
        {"and a failure", {1, 0, 0, 0, 0, 0, 0, 0, 0}, 0, -1, {filler, field}},
        {"none", std::vector<uint8_t>(9, 0), 0x2820, 1, {}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = kgf_lead("w", 1, c.width, 1, c.filler, c.field);
        put_runs(file, {{0, 0x8000}});
        const decoded r = decode(file);
        EXPECT_EQ(r.status, c.width > 0 ? kgf_status::ok : kgf_status::bad_image_size) << c.what;
        if (c.width > 0) {
            EXPECT_EQ(r.image.data, pixel_bytes({0x8000})) << c.what;
        }
        recording_sink found;
        warn_kgf_header(found.sink(), r.reading, "w.kgf");
        EXPECT_EQ(found.findings, c.expected) << c.what;
    }
}

// A 4 x 4 file declaring five levels with level 0 in rows 0x0100 + row.
std::vector<uint8_t> five_level_file(bool lower_levels_present) {
    std::vector<uint8_t> file = kgf_lead("five.kgf", 5, 4, 4);
    put_runs(file, {{4, 0x0100}, {4, 0x0101}, {4, 0x0102}, {4, 0x0103}});
    if (lower_levels_present)
        put_runs(file, {{4, 0x0200}, {0, 0x0300}});
    return file;
}

TEST(KgfDecode, LevelsAndRowOrdersOfAFiveLevelFile) {
    const std::vector<unsigned> top_first =
        joined({repeat(0x0100, 4), repeat(0x0101, 4), repeat(0x0102, 4), repeat(0x0103, 4)});
    const std::vector<unsigned> bottom_first =
        joined({repeat(0x0103, 4), repeat(0x0102, 4), repeat(0x0101, 4), repeat(0x0100, 4)});
    const struct {
        const char* what;
        kgf_levels levels;
        row_order rows;
        int num_mipmaps;
        std::vector<unsigned> pixels;
    } cases[] = {
        {"first level, for conversion", kgf_levels::first_only, row_order::top_first, 1, top_first},
        {"first level, for display", kgf_levels::first_only, row_order::bottom_first, 1,
         bottom_first},
        {"every level", kgf_levels::from_file, row_order::top_first, 5,
         joined({top_first, repeat(0x0200, 4), {0x0300}})},
        // Display keeps the first level alone, turned; the rest of the block is zero.
        {"every level, for display", kgf_levels::from_file, row_order::bottom_first, 5,
         joined({bottom_first, repeat(0, 5)})},
    };
    for (const auto& c : cases) {
        const decoded r = decode(five_level_file(true), c.levels, c.rows);
        EXPECT_EQ(r.status, kgf_status::ok) << c.what;
        EXPECT_EQ(r.image.num_mipmaps, c.num_mipmaps) << c.what;
        EXPECT_EQ(r.image.data, pixel_bytes(c.pixels)) << c.what;
        EXPECT_EQ(r.reading.header.mip_count, 5) << c.what;
    }
}

TEST(KgfDecode, LevelZeroOnlyFileServesPreviewButNotConversion) {
    const decoded preview =
        decode(five_level_file(false), kgf_levels::first_only, row_order::bottom_first);
    EXPECT_EQ(preview.status, kgf_status::ok);

    const decoded conversion = decode(five_level_file(false));
    EXPECT_EQ(conversion.status, kgf_status::missing_data);
    // What was decoded stays for the caller to release.
    const bytes& kept = conversion.image.data;
    ASSERT_EQ(kept.size(), 42u);
    EXPECT_EQ((bytes{kept[0], kept[1], kept[31], kept[32]}), (bytes{0x00, 0x01, 0x01, 0x00}));
}

// A file that declares no level holds its first all the same: every level
// the file holds is that one.
TEST(KgfDecode, NoDeclaredLevelReadsTheFirst) {
    std::vector<uint8_t> file = kgf_lead("z", 0, 2, 1);
    put_runs(file, {{2, 0x8123}});
    for (const kgf_levels levels : {kgf_levels::first_only, kgf_levels::from_file}) {
        const decoded r = decode(file, levels);
        EXPECT_EQ(r.status, kgf_status::ok);
        EXPECT_EQ(r.image.num_mipmaps, 1);
        EXPECT_EQ(r.image.data, pixel_bytes({0x8123, 0x8123}));
    }
    EXPECT_EQ(decode(kgf_lead("z", 0, 4, 4)).status, kgf_status::missing_data);
}

// ---- damaged files -------------------------------------------------------

TEST(KgfDecode, TruncatedLeadIsMissingData) {
    std::vector<uint8_t> whole = kgf_lead("name", 3, 1, 1, std::vector<uint8_t>(9, 1), 0x1111);
    put_runs(whole, {{0, 1}});
    // Cut in the prefix, in the name, right after the name, after mip_count,
    // inside the filler and inside the sizes.
    for (size_t cut : {0u, 2u, 3u, 6u, 8u, 9u, 10u, 14u, 21u, 23u}) {
        const std::vector<uint8_t> file(whole.begin(), whole.begin() + static_cast<long>(cut));
        const decoded r = decode(file);
        EXPECT_EQ(r.status, kgf_status::missing_data) << cut;
        EXPECT_TRUE(r.image.data.empty()) << cut;
        EXPECT_FALSE(r.reading.header_read) << cut;
        // The mip count counts as read once its byte is there.
        EXPECT_EQ(r.reading.mip_count_read, cut >= 9) << cut;
        EXPECT_EQ(r.reading.header.mip_count, cut >= 9 ? 3 : 0) << cut;
        // A header that was not read whole gives no warnings.
        recording_sink found;
        warn_kgf_header(found.sink(), r.reading, "cut.kgf");
        EXPECT_TRUE(found.findings.empty()) << cut;
    }
}

TEST(KgfDecode, NameWithoutNulStopsAtEndOfFile) {
    std::vector<uint8_t> file(5003, 'x');
    file[0] = 0x00;
    file[1] = 0x00;
    file[2] = 0x7A;
    EXPECT_EQ(decode(file).status, kgf_status::missing_data);
}

// Files of a lead and runs, read whole or as the preview reads them: what
// each gives, damaged or not.
TEST(KgfDecode, LeadAndRunsGiveTheirPixelsOrTheirFailure) {
    const auto file_of = [](std::vector<uint8_t> lead, const std::vector<run>& runs,
                            std::initializer_list<uint8_t> tail = {}) {
        put_runs(lead, runs);
        lead.insert(lead.end(), tail);
        return lead;
    };
    const auto ok = kgf_status::ok, missing = kgf_status::missing_data,
               bad_size = kgf_status::bad_image_size;
    using values = std::vector<unsigned>;
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        kgf_status status;
        values pixels;
        bool display = false; // the first level, bottom row first
    } cases[] = {
        {"display keeps an odd height's middle row",
         file_of(kgf_lead("r", 1, 2, 3), {{2, 0xA}, {2, 0xB}, {0, 0xC}, {0, 0xD}}), ok,
         values{0xC, 0xD, 0xB, 0xB, 0xA, 0xA}, true},
        {"display leaves the block empty when data is missing",
         file_of(kgf_lead("r", 1, 2, 2), {{2, 0xA}, {0, 0xB}}), missing, repeat(0, 4), true},
        {"zero size is an empty image", kgf_lead("z", 1, 0, 0), ok, {}},
        {"negative width", file_of(kgf_lead("neg", 1, -1, 4), {{0, 1}}), bad_size, {}},
        {"negative height", file_of(kgf_lead("neg", 1, 4, -3), {{0, 1}}), bad_size, {}},
        {"both negative", file_of(kgf_lead("neg", 1, -32768, -32768), {{0, 1}}), bad_size, {}},
        {"huge claim, tiny file: refused before allocating",
         file_of(kgf_lead("huge", 5, 32767, 32767), {{255, 0xFFFF}, {255, 0xFFFF}}), missing,
         values{}},
        // 255 x 2 pixels: exactly two runs of 255.
        {"longest runs", file_of(kgf_lead("full", 1, 255, 2), {{255, 0x4321}, {255, 0x4321}}), ok,
         repeat(0x4321, 510)},
        {"partial last run not applied", file_of(kgf_lead("p", 1, 4, 1), {{2, 0x1111}}, {2, 0x22}),
         missing, values{0x1111, 0x1111, 0, 0}},
        {"run past the end cut at the block",
         file_of(kgf_lead("p", 1, 3, 1), {{2, 0x1111}, {200, 0x2222}}), ok,
         values{0x1111, 0x1111, 0x2222}},
    };
    for (const auto& c : cases) {
        const decoded r = c.display
                              ? decode(c.file, kgf_levels::first_only, row_order::bottom_first)
                              : decode(c.file);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.image.data, pixel_bytes(c.pixels)) << c.what;
    }
    // The longest runs' file with its last run no longer complete.
    std::vector<uint8_t> file =
        file_of(kgf_lead("full", 1, 255, 2), {{255, 0x4321}, {255, 0x4321}});
    file.pop_back();
    EXPECT_EQ(decode(file).status, kgf_status::missing_data);
}

TEST(KgfDecode, OddChainKeepsLowByteOfStraddlingPixel) {
    std::vector<uint8_t> file = kgf_lead("odd", 5, 6, 6);
    put_runs(file, {{36, 0x1111}, {9, 0x2222}, {2, 0x3333}, {0, 0x4455}});
    const decoded r = decode(file);
    EXPECT_EQ(r.status, kgf_status::ok);
    ASSERT_EQ(r.image.data.size(), 95u);
    EXPECT_EQ(bytes(r.image.data.begin() + 92, r.image.data.end()), (bytes{0x33, 0x33, 0x55}));
}

// ---- the run decoder on its own ------------------------------------------

TEST(DecodeRuns, CountsWholeLastRunAndNeverWritesPastTheBlock) {
    const std::vector<uint8_t> runs = runs_bytes({{3, 0x0102}, {250, 0x0304}});
    std::vector<uint8_t> out(10);
    const run_decoding whole = decode_runs(runs.data(), runs.size(), out.data(), 10, 0, 10);
    EXPECT_EQ(whole.decoded, 506);
    EXPECT_EQ(whole.consumed, 6u);
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(out, pixel_bytes({0x0102, 0x0102, 0x0102, 0x0304, 0x0304}));

    // The caller's block is smaller than the bytes it asks for.
    const std::vector<uint8_t> long_run = runs_bytes({{20, 0x0707}});
    std::vector<uint8_t> small(3);
    const run_decoding cut = decode_runs(long_run.data(), long_run.size(), small.data(), 3, 0, 40);
    EXPECT_EQ(cut.decoded, 40);
    EXPECT_TRUE(cut.complete);
    EXPECT_EQ(small, (std::vector<uint8_t>{7, 7, 7}));
}

TEST(DecodeRuns, RunsThatEndEarlyAreIncomplete) {
    std::vector<uint8_t> runs;
    std::vector<unsigned> pixels;
    for (int i = 0; i < 10000; ++i) {
        put_runs(runs, {{0, static_cast<unsigned>(i)}});
        pixels.push_back(static_cast<unsigned>(i));
    }
    std::vector<uint8_t> out(20000);
    const run_decoding whole = decode_runs(runs.data(), runs.size(), out.data(), 20000, 0, 20000);
    EXPECT_EQ(whole.decoded, 20000);
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(out, pixel_bytes(pixels));

    // A partial last run is not applied.
    std::fill(out.begin(), out.end(), uint8_t{0});
    const run_decoding cut = decode_runs(runs.data(), runs.size() - 1, out.data(), 20000, 0, 20000);
    EXPECT_EQ(cut.decoded, 19998);
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(out[19997], static_cast<uint8_t>(9998 >> 8));
    EXPECT_EQ(out[19998], 0);
}

} // namespace
