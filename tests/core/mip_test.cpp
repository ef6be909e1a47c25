#include "formats/image_buffer.h"
#include "formats/mip.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

unsigned pixel(const image_buffer& image, size_t offset) {
    return image.data[offset] | (image.data[offset + 1] << 8);
}

void set_pixel(image_buffer& image, int x, int y, unsigned value) {
    const size_t at = 2 * (static_cast<size_t>(y) * image.width + x);
    image.data[at] = static_cast<uint8_t>(value & 0xFF);
    image.data[at + 1] = static_cast<uint8_t>(value >> 8);
}

void fill_first_level(image_buffer& image, unsigned value) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            set_pixel(image, x, y, value);
}

// One call as the caller makes it: level, running offset, the pixels it
// writes there, result.
struct level_step {
    int level;
    int64_t offset;
    std::vector<unsigned> values;
    int32_t result;
};

// A worked example: a chain's sides, level count and bytes, its first level
// pixel by pixel, and the calls for the lower levels.
struct worked_example {
    const char* what;
    int width, height, levels;
    size_t bytes;
    std::function<unsigned(int, int)> first;
    std::vector<level_step> steps;
};

worked_example example(const char* what, int width, int height, int levels, size_t bytes,
                       std::function<unsigned(int, int)> first, std::vector<level_step> steps) {
    return {what, width, height, levels, bytes, std::move(first), std::move(steps)};
}

// The chain after the calls holds the first level and what they wrote,
// nothing else.
TEST(MipTest, WorkedExamples) {
    const auto flat = [](unsigned value) { return [value](int, int) { return value; }; };
    const worked_example cases[] = {
        example("4 x 4, one opaque pixel", 4, 4, 5, 42,
                [](int x, int y) { return x == 0 && y == 0 ? 0x8000u : 0x7FFFu; },
                {{2, 32, {0xDEF7, 0x7FFF, 0x7FFF, 0x7FFF}, 8},
                 {3, 40, {0xF7BD}, 2},
                 {4, 42, {}, 0},
                 {5, 42, {}, 0}}),
        example("level 3 is not the average of level 2", 4, 4, 3, 42,
                [](int x, int y) {
                    const unsigned blue[4][4] = {
                        {1, 1, 1, 1}, {1, 0, 1, 0}, {1, 1, 1, 1}, {1, 0, 1, 4}};
                    return 0x8000u | blue[y][x];
                },
                {{2, 32, {0x8000, 0x8000, 0x8000, 0x8001}, 8}, {3, 40, {0x8001}, 2}}),
        // A 128 x 128 block of white sums to 31 * 16384 per channel.
        example("large blocks do not overflow the sums", 128, 128, 8, 43690, flat(0x7FFF),
                {{8, 43688, {0x7FFF}, 2}}),
        example("blocks larger than the image give nothing", 4, 4, 5, 42, flat(0x1234),
                {{4, 32, {}, 0},
                 {5, 32, {}, 0},
                 {16, 32, {}, 0},
                 {17, 32, {}, 0},
                 {40, 32, {}, 0},
                 {255, 32, {}, 0}}),
        // Level 2 is a 2 x 1 grid: the right column and bottom row are left out.
        example("5 x 3: whole blocks only", 5, 3, 2, 37,
                [](int x, int y) { return static_cast<unsigned>(x * 4 + y * 8); },
                {{2, 30, {(0 + 4 + 8 + 12) / 4, (8 + 12 + 16 + 20) / 4}, 4}}),
        // Chain 72 + 18 + 4 + 1 + 0: level 3 holds one whole 4 x 4 block;
        // (2 + 16 + 2 + 16) / 4 is 9, (9 * 2 + 7 * 16) / 16 is 8.
        example("6 x 6, five levels", 6, 6, 5, 95,
                [](int x, int y) { return x < 3 && y < 3 ? 0x0002u : 0x0010u; },
                {{2, 72, {2, 9, 16, 9, 12, 16, 16, 16, 16}, 18},
                 {3, 90, {8}, 2},
                 {4, 92, {}, 0},
                 {5, 92, {}, 0}}),
        example("image shorter than a block", 8, 1, 3, 21, flat(0x7FFF),
                {{2, 16, {}, 0}, {3, 16, {}, 0}}),
    };
    for (const auto& c : cases) {
        image_buffer image = blank_image(16, c.width, c.height, c.levels);
        ASSERT_EQ(image.data.size(), c.bytes) << c.what;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                set_pixel(image, x, y, c.first(x, y));
        std::vector<uint8_t> expected = image.data;
        int64_t offset = c.steps.front().offset;
        for (const level_step& step : c.steps) {
            EXPECT_EQ(offset, step.offset) << c.what << ", level " << step.level;
            const int32_t written = make_mip_level(image, offset, step.level);
            EXPECT_EQ(written, step.result) << c.what << ", level " << step.level;
            for (size_t j = 0; j < step.values.size(); ++j) {
                const size_t at = static_cast<size_t>(step.offset) + 2 * j;
                expected[at] = static_cast<uint8_t>(step.values[j]);
                expected[at + 1] = static_cast<uint8_t>(step.values[j] >> 8);
            }
            offset += written;
        }
        EXPECT_EQ(image.data, expected) << c.what;
    }
}

TEST(MipTest, AlphaSurvivesUnlessTheWholeBlockIsTransparent) {
    struct alpha_case {
        unsigned a, b, c, d, expected;
    };
    const alpha_case cases[] = {
        {0x8000, 0x0000, 0x0000, 0x0000, 0x8000}, // one opaque pixel of four
        {0x001F, 0x03E0, 0x7C00, 0x7FFF, 0x3DEF}, // all transparent, colours averaged
        {0x83E0, 0x83E0, 0x83E0, 0x83E0, 0x83E0},
        {0x0001, 0x0001, 0x0001, 0x0000, 0x0000}, // 3 / 4 rounds down
    };
    for (const alpha_case& c : cases) {
        image_buffer image = blank_image(16, 2, 2, 2);
        set_pixel(image, 0, 0, c.a);
        set_pixel(image, 1, 0, c.b);
        set_pixel(image, 0, 1, c.c);
        set_pixel(image, 1, 1, c.d);
        ASSERT_EQ(make_mip_level(image, 8, 2), 2);
        EXPECT_EQ(pixel(image, 8), c.expected) << std::hex << c.a;
    }
}

TEST(MipTest, SixtyFourSquareFillsTheChainRulesLevels) {
    image_buffer image = blank_image(16, 64, 64, 5);
    ASSERT_EQ(image.data.size(), 10912u);
    // Each 16 x 16 block has its own colour, so every level is a scaled copy.
    auto block_colour = [](int bx, int by) {
        return 0x8000u | static_cast<unsigned>(bx * 4 + by) << 5 | static_cast<unsigned>(bx + by);
    };
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            set_pixel(image, x, y, block_colour(x / 16, y / 16));

    const int64_t offsets[] = {8192, 10240, 10752, 10880};
    const int32_t results[] = {2048, 512, 128, 32};
    const int sides[] = {32, 16, 8, 4};
    int64_t offset = 8192;
    for (int level = 2; level <= 5; ++level) {
        const int i = level - 2;
        EXPECT_EQ(offset, offsets[i]);
        const int32_t written = make_mip_level(image, offset, level);
        EXPECT_EQ(written, results[i]);
        const int side = sides[i];
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                ASSERT_EQ(pixel(image, static_cast<size_t>(offset + 2 * (y * side + x))),
                          block_colour(x * 4 / side, y * 4 / side))
                    << level << " " << x << "," << y;
        offset += written;
    }
    EXPECT_EQ(offset, 10912);
}

TEST(MipTest, WritesStayInsideTheBlock) {
    image_buffer image = blank_image(16, 4, 4, 1);
    fill_first_level(image, 0x0421);
    image.data.resize(34); // room for one level-2 pixel only
    image.data.shrink_to_fit();
    EXPECT_EQ(make_mip_level(image, 32, 2), 2);
    EXPECT_EQ(pixel(image, 32), 0x0421u);
    EXPECT_EQ(make_mip_level(image, 34, 2), 0);
    EXPECT_EQ(make_mip_level(image, 40, 2), 0);
    EXPECT_EQ(make_mip_level(image, -2, 2), 0);

    image.data.resize(20); // not even the first level
    image.data.shrink_to_fit();
    EXPECT_EQ(make_mip_level(image, 0, 2), 0);
}

TEST(MipTest, EmptyImageGivesNothing) {
    image_buffer image = blank_image(16, 0, 0, 5);
    EXPECT_EQ(make_mip_level(image, 0, 2), 0);
}

} // namespace

TEST(MipTest, ChainPutsEveryLevelWhereTheChainRulePlacesIt) {
    // 10 x 20 with five levels: the rule reserves 400, 100, 25, 6 and 1
    // bytes; level 3 fills 20 of its 25, and level 4 still starts at 525.
    image_buffer image = blank_image(16, 10, 20, 5);
    ASSERT_EQ(image.data.size(), 532u);
    for (size_t i = 0; i < 400; i += 2) {
        image.data[i] = 0x1F; // blue 31, alpha set
        image.data[i + 1] = 0x80;
    }
    build_mip_chain(image);
    auto pixel_at = [&](size_t offset) {
        return image.data[offset] | (image.data[offset + 1] << 8);
    };
    EXPECT_EQ(pixel_at(400), 0x801F); // level 2, 5 x 10
    EXPECT_EQ(pixel_at(498), 0x801F);
    EXPECT_EQ(pixel_at(500), 0x801F); // level 3, 2 x 5 whole blocks
    EXPECT_EQ(pixel_at(518), 0x801F);
    EXPECT_EQ(pixel_at(520), 0);      // the rest of level 3's room
    EXPECT_EQ(pixel_at(525), 0x801F); // level 4 at its own start, 1 x 2
    EXPECT_EQ(pixel_at(527), 0x801F);
    EXPECT_EQ(image.data[531], 0); // level 5 has no whole block
}

// Levels built together from block sums must equal each level averaged from
// the first level block by block, for any sides and any number of levels.
TEST(MipTest, LevelsFromBlockSumsEqualTheBoxFilterOfTheFirstLevel) {
    unsigned state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u, state >> 8; };
    for (int round = 0; round < 60; ++round) {
        const int width = 1 + static_cast<int>(next() % 90);
        const int height = 1 + static_cast<int>(next() % 90);
        const int levels = 1 + static_cast<int>(next() % 9);
        image_buffer built = blank_image(16, width, height, levels);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set_pixel(built, x, y, next() & 0xFFFF);
        image_buffer expected = built;
        build_mip_chain(built);
        for (int level = 2; level <= levels; ++level) {
            const int edge = 1 << (level - 1);
            const int64_t start = mip_chain_bytes(level - 1, width, height, 16);
            const int columns = width / edge;
            for (int j = 0; j < columns * (height / edge); ++j) {
                unsigned red = 0, green = 0, blue = 0, opaque = 0;
                for (int y = 0; y < edge; ++y)
                    for (int x = 0; x < edge; ++x) {
                        const unsigned p = pixel(
                            expected, 2 * (static_cast<size_t>((j / columns) * edge + y) * width +
                                           (j % columns) * edge + x));
                        red += (p >> 10) & 31, green += (p >> 5) & 31, blue += p & 31;
                        opaque |= p & 0x8000;
                    }
                const unsigned area = static_cast<unsigned>(edge * edge);
                const unsigned value =
                    opaque | (red / area) << 10 | (green / area) << 5 | blue / area;
                const size_t at = static_cast<size_t>(start + 2 * j);
                expected.data[at] = static_cast<uint8_t>(value & 0xFF);
                expected.data[at + 1] = static_cast<uint8_t>(value >> 8);
            }
        }
        ASSERT_EQ(built.data, expected.data) << width << "x" << height << ", " << levels;
    }
}
