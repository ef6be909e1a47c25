#include "formats/image_buffer.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

image_buffer make_image(int bpp, int width, int height, int levels, std::vector<uint8_t> bytes) {
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    image.num_mipmaps = static_cast<int16_t>(levels);
    image.data = std::move(bytes);
    return image;
}

image_buffer destination_for(const image_buffer& source, int bpp, int levels) {
    return blank_image(bpp, source.width, source.height, levels);
}

std::vector<uint8_t> pixel16(unsigned value) {
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
}

} // namespace

TEST(ImageBuffer, FreshRecordIsEmpty) {
    image_buffer image;
    image.num_mipmaps = 7;
    image.data.assign(10, 1);
    init_image_buffer(image, 24);
    EXPECT_EQ(image.num_mipmaps, 1);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.bpp, 24);
    EXPECT_TRUE(image.data.empty());
    EXPECT_EQ(mip_chain_bytes(image), 0);
}

struct chain_case {
    int levels, width, height, bpp;
    int64_t bytes;
};

TEST(ImageBuffer, ChainSizes) {
    const chain_case cases[] = {
        {5, 64, 64, 16, 10912}, {5, 6, 6, 16, 95},  {5, 4, 4, 16, 42},
        {1, 64, 64, 16, 8192},  {0, 64, 64, 16, 0}, {-3, 64, 64, 16, 0},
        {1, 3, 5, 24, 45},      {2, 3, 5, 24, 56},  {1, 32767, 32767, 32, 4294705156LL},
        {10, 4, 4, 16, 42},     {1, -4, 4, 16, 0},  {1, 5, 5, 8, 25},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mip_chain_bytes(c.levels, c.width, c.height, c.bpp), c.bytes)
            << c.levels << " levels of " << c.width << "x" << c.height << "x" << c.bpp;
}

struct expand_case {
    unsigned value;
    uint8_t blue, green, red, alpha;
};

TEST(ConvertPixels, SixteenToThirtyTwo) {
    const expand_case cases[] = {{0x8000, 0, 0, 0, 255},
                                 {0x7FFF, 255, 255, 255, 0},
                                 {0x4210, 132, 132, 132, 0},
                                 {0x001F, 255, 0, 0, 0}};
    for (const auto& c : cases) {
        image_buffer source = make_image(16, 1, 1, 1, pixel16(c.value));
        image_buffer destination = destination_for(source, 32, 1);
        convert_pixels(destination, source);
        EXPECT_EQ(destination.data, (std::vector<uint8_t>{c.blue, c.green, c.red, c.alpha}))
            << std::hex << c.value;
        image_buffer rgb = destination_for(source, 24, 1);
        convert_pixels(rgb, source);
        EXPECT_EQ(rgb.data, (std::vector<uint8_t>{c.blue, c.green, c.red})) << std::hex << c.value;
    }
}

struct reduce_case {
    std::vector<uint8_t> pixel;
    unsigned value;
};

TEST(ConvertPixels, ToSixteen) {
    const reduce_case cases[] = {{{255, 255, 255, 1}, 0xFFFF},
                                 {{7, 7, 7, 0}, 0x0000},
                                 {{0x12, 0x34, 0x56, 0x80}, 0xA8C2},
                                 {{0, 0, 0}, 0x8000},
                                 {{255, 0, 0}, 0x801F}};
    for (const auto& c : cases) {
        image_buffer source = make_image(static_cast<int>(c.pixel.size() * 8), 1, 1, 1, c.pixel);
        image_buffer destination = destination_for(source, 16, 1);
        convert_pixels(destination, source);
        EXPECT_EQ(destination.data, pixel16(c.value)) << std::hex << c.value;
    }
}

TEST(ConvertPixels, TwentyFourAndThirtyTwo) {
    image_buffer rgb = make_image(24, 2, 1, 1, {1, 2, 3, 4, 5, 6});
    image_buffer rgba = destination_for(rgb, 32, 1);
    convert_pixels(rgba, rgb);
    EXPECT_EQ(rgba.data, (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    image_buffer back = destination_for(rgba, 24, 1);
    rgba.data[3] = 200;
    convert_pixels(back, rgba);
    EXPECT_EQ(back.data, rgb.data);
}

// Converts a source of `count` bytes of `value` into a new chain: the
// destination holds `size` bytes, the first `filled` of them `to` and the rest 0.
struct extent_case {
    const char* what;
    int bpp, width, height, levels;
    size_t count;
    uint8_t value;
    int to_bpp, to_levels;
    size_t size, filled;
    uint8_t to;
};

TEST(ConvertPixels, ExtentsOfEachPairStayInsideBothBlocks) {
    const extent_case cases[] = {
        // 64 + 16 + 4 + 1 bytes: the last byte is no whole pixel and stays 0.
        {"five 16-bit levels to 32", 16, 4, 4, 5, 42, 0xFF, 32, 5, 85, 84, 255},
        {"a deep source fills the first level only", 32, 4, 4, 1, 64, 0xFF, 16, 5, 42, 32, 0xFF},
        {"24 to 24 copies the first level only", 24, 2, 2, 2, 15, 9, 24, 2, 15, 12, 9},
        {"one level to five stops at the source's end", 16, 4, 4, 1, 32, 0xAB, 16, 5, 42, 32, 0xAB},
        // 6x6 with five levels holds 95 bytes: 47 whole pixels and a half.
        {"a half pixel at the end is not converted", 16, 6, 6, 5, 95, 0xFF, 32, 5, 191, 188, 255},
        {"no levels receive nothing", 32, 2, 2, 1, 16, 1, 16, 0, 0, 0, 0},
        {"an unsupported pair leaves the destination", 8, 2, 2, 1, 4, 0xFF, 16, 1, 8, 0, 0},
    };
    for (const extent_case& c : cases) {
        SCOPED_TRACE(c.what);
        const image_buffer source =
            make_image(c.bpp, c.width, c.height, c.levels, std::vector<uint8_t>(c.count, c.value));
        image_buffer destination = destination_for(source, c.to_bpp, c.to_levels);
        convert_pixels(destination, source);
        ASSERT_EQ(destination.data.size(), c.size);
        for (size_t i = 0; i < destination.data.size(); ++i)
            EXPECT_EQ(destination.data[i], i < c.filled ? c.to : 0) << i;
    }
}

TEST(ConvertPixels, AShortSourceBlockIsReadNoFurtherThanItsEnd) {
    // A source block shorter than its fields claim.
    image_buffer short_source = make_image(24, 4, 4, 1, std::vector<uint8_t>(5, 1));
    image_buffer target = destination_for(short_source, 32, 1);
    convert_pixels(target, short_source);
    EXPECT_EQ(target.data[4], 0);
}

// Address space limits and the sanitizers' allocators do not mix.
#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
TEST(ImageBuffer, FailedAllocationLeavesNoBlock) {
    rlimit previous{};
    getrlimit(RLIMIT_AS, &previous);
    rlimit limit = previous;
    limit.rlim_cur = rlim_t{4} << 30;
    setrlimit(RLIMIT_AS, &limit);
    image_buffer image;
    init_image_buffer(image, 16);
    const kgf_status result = allocate_image_data(image, int64_t{8} << 30);
    setrlimit(RLIMIT_AS, &previous);
    EXPECT_EQ(result, kgf_status::no_memory);
    EXPECT_TRUE(image.data.empty());
}
#endif

// A 32-bit build addresses at most 4 GiB less one byte: a larger block must
// be refused, never cut to its low 32 bits.
TEST(ImageBuffer, BlockSizesBeyondTheAddressableAreRefused) {
    constexpr uint64_t largest_32 = UINT32_MAX;
    const struct {
        int64_t bytes;
        uint64_t largest;
        int fits;
    } cases[] = {
        {0, largest_32, 1},
        {int64_t{UINT32_MAX}, largest_32, 1},
        {int64_t{1} << 32, largest_32, 0},
        {(int64_t{1} << 32) + 16, largest_32, 0}, // would wrap to 16
        {-1, largest_32, 0},
        {int64_t{1} << 32, UINT64_MAX, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(block_size_fits(c.bytes, c.largest), c.fits) << c.bytes;
}
