// The quality options on small pictures whose results can be worked out.
#include "formats/image_buffer.h"
#include "formats/mip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

// A 32-bit picture (B, G, R, A) painted pixel by pixel.
image_buffer picture(int side, const std::function<std::vector<uint8_t>(int, int)>& paint) {
    image_buffer image;
    init_image_buffer(image, 32);
    image.width = image.height = static_cast<int16_t>(side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::vector<uint8_t> p = paint(x, y);
            image.data.insert(image.data.end(), p.begin(), p.end());
        }
    return image;
}

image_buffer chain(const image_buffer& source, int levels, kgf_quality quality) {
    image_buffer out;
    init_image_buffer(out, 16);
    EXPECT_EQ(make_kgf_chain(out, source, levels, quality), kgf_status::ok);
    return out;
}

// The pixels of a level of a square chain.
std::vector<unsigned> level(const image_buffer& chain, int n) {
    const int64_t offset = mip_chain_bytes(n - 1, chain.width, chain.height, 16);
    const int side = chain.width >> (n - 1);
    std::vector<unsigned> pixels;
    for (int i = 0; i < side * side; ++i)
        pixels.push_back(chain.data[static_cast<size_t>(offset + 2 * i)] |
                         chain.data[static_cast<size_t>(offset + 2 * i + 1)] << 8);
    return pixels;
}

unsigned widened(unsigned five) {
    return five << 3 | five >> 2;
}

TEST(MipQuality, DitherKeepsTheMeanOfEveryValue) {
    // value: a level's exact widening keeps that level everywhere; any other
    // value comes back as the mean of the two levels around it.
    for (const int value : {0, 8, 132, 255, 1, 37, 100, 127, 201, 254}) {
        const image_buffer flat =
            picture(32, [&](int, int) { return std::vector<uint8_t>(4, uint8_t(value)); });
        double sum = 0;
        unsigned low = 31, high = 0;
        for (const unsigned p : level(chain(flat, 1, kgf_quality::dither), 1)) {
            sum += widened(p >> 10 & 31);
            low = std::min(low, p >> 10 & 31);
            high = std::max(high, p >> 10 & 31);
        }
        EXPECT_NEAR(sum / (32 * 32), value, 0.5) << value;
        EXPECT_LE(high - low, 1u) << value;
        if (widened(value >> 3) == static_cast<unsigned>(value)) {
            EXPECT_EQ(low, high) << value;
        }
    }
}

TEST(MipQuality, SixteenBitFirstLevelComesOutAsStored) {
    image_buffer stored;
    init_image_buffer(stored, 16);
    stored.width = stored.height = 16;
    for (int i = 0; i < 256; ++i) {
        const unsigned v = (i * 2654435761u) >> 16 | 0x8000u; // all opaque
        stored.data.push_back(static_cast<uint8_t>(v));
        stored.data.push_back(static_cast<uint8_t>(v >> 8));
    }
    const image_buffer out = chain(stored, 5, kgf_quality::best);
    EXPECT_TRUE(std::equal(stored.data.begin(), stored.data.end(), out.data.begin()));
}

TEST(MipQuality, CheckerboardKeepsItsLightInLinearLight) {
    // Black and white average to 123 in 8 bits (15 of 31), but to half the
    // light: 188 (23 of 31).
    const image_buffer board = picture(16, [](int x, int y) {
        const uint8_t v = (x + y) % 2 ? 255 : 0;
        return std::vector<uint8_t>{v, v, v, 255};
    });
    const struct {
        kgf_quality quality;
        unsigned expected;
    } cases[] = {{kgf_quality::none, 15}, {kgf_quality::srgb_mips, 23}};
    for (const auto& c : cases) {
        const image_buffer out = chain(board, 5, c.quality);
        for (int n = 2; n <= 5; ++n)
            for (const unsigned p : level(out, n))
                EXPECT_EQ(p, 0x8000u | c.expected * 0x421u) << n;
    }
}

TEST(MipQuality, WorkedExampleWithCoverageKept) {
    // The 4 x 4 picture of one opaque black pixel among transparent white:
    // the plain rule makes every lower pixel that touches it opaque and
    // white-grey; with alpha_mips the white takes the black of its nearest
    // opaque pixel and 1/16 opaque rounds to no opaque pixel below.
    const image_buffer one = picture(4, [](int x, int y) {
        return x == 0 && y == 0 ? std::vector<uint8_t>{0, 0, 0, 255}
                                : std::vector<uint8_t>{255, 255, 255, 0};
    });
    const image_buffer plain = chain(one, 5, kgf_quality::none);
    EXPECT_EQ(level(plain, 2), (std::vector<unsigned>{0xDEF7, 0x7FFF, 0x7FFF, 0x7FFF}));
    const image_buffer kept = chain(one, 5, kgf_quality::alpha_mips);
    std::vector<unsigned> first(16, 0x0000);
    first[0] = 0x8000;
    EXPECT_EQ(level(kept, 1), first);
    EXPECT_EQ(level(kept, 2), std::vector<unsigned>(4, 0x0000));
    EXPECT_EQ(level(kept, 3), std::vector<unsigned>(1, 0x0000));
}

TEST(MipQuality, TransparentPixelsTakeTheNearestOpaqueColour) {
    // A row: transparent, red, transparent, transparent, blue, transparent.
    image_buffer row;
    init_image_buffer(row, 32);
    row.width = 6;
    row.height = 1;
    row.data = {0, 0, 0, 0, 0, 0, 248, 255, 0, 0, 0, 0, 0, 0, 0, 0, 248, 0, 0, 255, 9, 9, 9, 0};
    const image_buffer out = chain(row, 1, kgf_quality::alpha_mips);
    std::vector<unsigned> pixels;
    for (int i = 0; i < 6; ++i)
        pixels.push_back(out.data[2 * i] | out.data[2 * i + 1] << 8);
    EXPECT_EQ(pixels, (std::vector<unsigned>{0x7C00, 0xFC00, 0x7C00, 0x001F, 0x801F, 0x001F}));
}

TEST(MipQuality, CutOutsKeepCoverageAndColour) {
    // Thin lines (every third column, every fifth row) and a disc, one
    // colour over transparent black.
    const std::function<bool(int, int)> shapes[] = {
        [](int x, int y) { return x % 3 == 0 || y % 5 == 0; },
        [](int x, int y) { return std::hypot(x - 31.5, y - 27.5) < 18; },
    };
    for (const auto& on : shapes) {
        const image_buffer cut = picture(64, [&](int x, int y) {
            return on(x, y) ? std::vector<uint8_t>{40, 200, 120, 255}
                            : std::vector<uint8_t>{0, 0, 0, 0};
        });
        const auto coverage = [](const std::vector<unsigned>& pixels) {
            double opaque = 0;
            for (const unsigned p : pixels)
                opaque += p >> 15;
            return 100 * opaque / static_cast<double>(pixels.size());
        };
        const image_buffer plain = chain(cut, 5, kgf_quality::none);
        const image_buffer kept = chain(cut, 5, kgf_quality::alpha_mips);
        const double first = coverage(level(kept, 1));
        EXPECT_GT(coverage(level(plain, 5)), first + 5); // the plain rule thickens
        for (int n = 2; n <= 5; ++n) {
            EXPECT_NEAR(coverage(level(kept, n)), first, 5) << n;
            for (const unsigned p : level(kept, n))
                EXPECT_EQ(p & 0x7FFF, (120 >> 3) << 10 | (200 >> 3) << 5 | 40 >> 3) << n;
        }
    }
}

} // namespace
