#include "convert/thumbnail.h"

#include "formats/kgf.h"
#include "support/core_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

struct rgba {
    unsigned b, g, r, a;
};

// ARGB1555 as the file means it: each 5-bit channel repeated over a byte
// (its top bits fill the low ones), the alpha bit all or nothing.
rgba from_16(unsigned p) {
    auto spread = [](unsigned v) { return v << 3 | v >> 2; };
    return {spread(p & 31), spread(p >> 5 & 31), spread(p >> 10 & 31), p & 0x8000 ? 255u : 0u};
}

// The box filter as the thumbnail promises it, computed the other way round:
// each source pixel is added to the output pixel whose box holds it.
std::vector<rgba> expected_thumbnail(const image_buffer& picture, int fw, int fh) {
    const int w = picture.width, h = picture.height;
    struct sums {
        uint64_t plain[3] = {}, weighted[3] = {}, alpha = 0, count = 0;
    };
    std::vector<sums> boxes(static_cast<size_t>(fw * fh));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t at = static_cast<size_t>(y * w + x) * 2;
            const rgba p = from_16(picture.data[at] | picture.data[at + 1] << 8);
            const int bx = ((x + 1) * fw + w - 1) / w - 1;
            const int by = ((y + 1) * fh + h - 1) / h - 1;
            sums& s = boxes[static_cast<size_t>(by * fw + bx)];
            const unsigned c[3] = {p.b, p.g, p.r};
            for (int k = 0; k < 3; ++k) {
                s.plain[k] += c[k];
                s.weighted[k] += c[k] * p.a;
            }
            s.alpha += p.a;
            ++s.count;
        }
    std::vector<rgba> out;
    for (const sums& s : boxes) {
        auto mean = [](uint64_t sum, uint64_t n) {
            return static_cast<unsigned>((2 * sum + n) / (2 * n));
        };
        rgba p{};
        unsigned* c[3] = {&p.b, &p.g, &p.r};
        for (int k = 0; k < 3; ++k)
            *c[k] = s.alpha ? mean(s.weighted[k], s.alpha) : mean(s.plain[k], s.count);
        p.a = mean(s.alpha, s.count);
        out.push_back(p);
    }
    return out;
}

void expect_pixels(const image_buffer& thumbnail, const std::vector<rgba>& expected) {
    ASSERT_EQ(thumbnail.bpp, 32);
    ASSERT_EQ(thumbnail.data.size(), expected.size() * 4);
    int wrong = 0;
    for (size_t i = 0; i < expected.size() && wrong < 5; ++i) {
        const uint8_t* p = thumbnail.data.data() + i * 4;
        const rgba e = expected[i];
        if (p[0] != e.b || p[1] != e.g || p[2] != e.r || p[3] != e.a) {
            ADD_FAILURE() << "pixel " << i << ": " << +p[0] << "," << +p[1] << "," << +p[2] << ","
                          << +p[3] << " expected " << e.b << "," << e.g << "," << e.r << "," << e.a;
            ++wrong;
        }
    }
}

bytes kgf_of(const image_buffer& picture, int levels) {
    image_buffer chain = picture;
    chain.num_mipmaps = static_cast<int16_t>(levels);
    chain.data.resize(static_cast<size_t>(mip_chain_bytes(chain)), 0x5A); // lower levels: noise
    bytes out;
    EXPECT_EQ(encode_kgf(out, "t", chain, mip_chain_bytes(chain)), kgf_status::ok);
    return out;
}

struct size_case {
    int width, height, size, fitted_width, fitted_height;
};

// Sizes worked out by hand: the longer side becomes the size, the shorter
// one keeps the aspect rounded to nearest and at least one pixel; nothing
// that fits already grows.
const size_case size_cases[] = {
    {256, 256, 128, 128, 128}, {300, 100, 128, 128, 43}, {100, 300, 128, 43, 128},
    {64, 64, 128, 64, 64},     {128, 64, 128, 128, 64},  {1, 1000, 96, 1, 96},
    {200, 3, 10, 10, 1},       {129, 7, 128, 128, 7},    {97, 13, 96, 96, 13},
    {5, 3, 2, 2, 1},           {33, 17, 1, 1, 1},        {255, 254, 16, 16, 16},
};

} // namespace

TEST(thumbnail, fits_the_size_with_the_aspect_kept_and_never_enlarges) {
    for (const size_case& c : size_cases) {
        int w = 0, h = 0;
        fit_thumbnail(c.width, c.height, c.size, w, h);
        EXPECT_EQ(w, c.fitted_width) << c.width << "x" << c.height << " in " << c.size;
        EXPECT_EQ(h, c.fitted_height) << c.width << "x" << c.height << " in " << c.size;
    }
}

TEST(thumbnail, a_kgf_gives_its_first_level_reduced_by_the_box_filter) {
    unsigned seed = 1;
    for (const size_case& c : size_cases) {
        const image_buffer picture = pattern_image(c.width, c.height, 16, seed++);
        for (int levels : {1, 5}) {
            const bytes file = kgf_of(picture, levels);
            byte_reader reader = reader_of(file);
            image_buffer thumbnail;
            ASSERT_EQ(make_thumbnail(reader, file_type::kgf, c.size, thumbnail), kgf_status::ok);
            EXPECT_EQ(thumbnail.width, c.fitted_width);
            EXPECT_EQ(thumbnail.height, c.fitted_height);
            expect_pixels(thumbnail, expected_thumbnail(picture, c.fitted_width, c.fitted_height));
        }
    }
}

TEST(thumbnail, a_kaf_gives_its_first_frame) {
    const image_buffer first = pattern_image(100, 60, 16, 7);
    const image_buffer second = pattern_image(100, 60, 16, 8);
    const bytes file = kaf_file({kaf_frame("a", first, 100), kaf_frame("b", second, 100)});
    for (int size : {16, 50, 99, 100, 128}) {
        byte_reader reader = reader_of(file);
        image_buffer thumbnail;
        ASSERT_EQ(make_thumbnail(reader, file_type::kaf, size, thumbnail), kgf_status::ok);
        int w = 0, h = 0;
        fit_thumbnail(100, 60, size, w, h);
        expect_pixels(thumbnail, expected_thumbnail(first, w, h));
    }
}

TEST(thumbnail, clear_pixels_lend_no_colour_and_a_clear_box_stays_clear) {
    // Left half opaque red, right half clear white: a 2 x 1 picture to 1 x 1
    // keeps red at half alpha; a clear 2 x 2 stays clear.
    image_buffer picture = pattern_image(2, 1, 16, 1);
    const unsigned red = 0x8000 | 31 << 10, clear_white = 0x7FFF;
    picture.data = {static_cast<uint8_t>(red), static_cast<uint8_t>(red >> 8),
                    static_cast<uint8_t>(clear_white), static_cast<uint8_t>(clear_white >> 8)};
    const bytes file = kgf_of(picture, 1);
    byte_reader reader = reader_of(file);
    image_buffer thumbnail;
    ASSERT_EQ(make_thumbnail(reader, file_type::kgf, 1, thumbnail), kgf_status::ok);
    EXPECT_EQ(thumbnail.data, (bytes{0, 0, 255, 128}));
}

TEST(thumbnail, damaged_files_are_refused_by_their_reason) {
    const image_buffer picture = pattern_image(40, 40, 16, 3);
    const bytes kgf = kgf_of(picture, 5);
    const bytes kaf = kaf_file({kaf_frame("a", picture, 40)});
    for (const auto& [file, type, step] :
         {std::tuple{&kgf, file_type::kgf, 37}, {&kaf, file_type::kaf, 29}})
        for (size_t cut = 0; cut < file->size(); cut += static_cast<size_t>(step)) {
            const bytes part(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(cut));
            byte_reader reader = reader_of(part);
            image_buffer thumbnail;
            EXPECT_NE(make_thumbnail(reader, type, 32, thumbnail), kgf_status::ok)
                << (type == file_type::kgf ? "KGF" : "KAF") << " cut at " << cut;
        }
    const bytes no_frames = kaf_file({});
    byte_reader reader = reader_of(no_frames);
    image_buffer thumbnail;
    EXPECT_EQ(make_thumbnail(reader, file_type::kaf, 32, thumbnail), kgf_status::no_frames);
}

TEST(thumbnail, content_tells_a_kgf_from_an_animation) {
    const image_buffer picture = pattern_image(4, 4, 16, 3);
    const bytes kgf = kgf_of(picture, 1);
    const bytes kaf = kaf_file({kaf_frame("a", picture, 4)});
    EXPECT_EQ(thumbnail_type_from_content(kgf.data(), kgf.size()), file_type::kgf);
    EXPECT_EQ(thumbnail_type_from_content(kaf.data(), kaf.size()), file_type::kaf);
}
