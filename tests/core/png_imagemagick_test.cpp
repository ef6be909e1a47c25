// PNG files made by ImageMagick in every colour type and depth, interlaced,
// with transparency: each read as ImageMagick reads it. Ours pass pngcheck
// and are compressed about as well as optipng's.
#ifdef KGF_IMAGEMAGICK

#include "formats/png.h"
#include "support/core_support.h"
#include "support/file_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

const std::string magick = KGF_IMAGEMAGICK;

// The picture as ImageMagick reads the file, top row first, turned into our
// B, G, R, A. A 16-bit file is read at 16 bits and each sample rounded to
// the nearest 8-bit value (ImageMagick's own 8-bit output cuts them off).
std::vector<uint8_t> pixels_by_imagemagick(const scratch_folder& folder, const std::string& png,
                                           bool sixteen = false) {
    const std::string raw = folder.file("truth.rgba");
    EXPECT_EQ(run(magick + " '" + png + "' -depth " + (sixteen ? "16" : "8") +
                  " -endian LSB rgba:'" + raw + "'"),
              0);
    std::vector<uint8_t> pixels = read_file_bytes(raw);
    if (sixteen) {
        std::vector<uint8_t> rounded;
        for (size_t i = 0; i + 1 < pixels.size(); i += 2)
            rounded.push_back(static_cast<uint8_t>((pixels[i] + 256 * pixels[i + 1] + 128) / 257));
        pixels = rounded;
    }
    for (size_t i = 0; i + 3 < pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);
    return pixels;
}

bool has_chunk(const std::vector<uint8_t>& file, const std::string& type) {
    return std::search(file.begin(), file.end(), type.begin(), type.end()) != file.end();
}

struct recipe {
    const char* what;
    std::string options; // after the picture; the file name follows
    uint8_t colour_type, bit_depth, interlace;
    bool transparency; // a tRNS chunk
    const char* prefix = "";
};

const std::string alpha = " -alpha set -channel A -fx 'i/w' +channel ";
const std::string grey = " -colorspace Gray ";
const std::string one_colour_clear = " -fill '#123456' -draw 'point 1,1' -transparent '#123456' ";
const std::string black_clear = " -fill black -draw 'point 1,1' -transparent black ";

// ImageMagick picks the colour type and depth it sees fit; these options
// give each of them (the test checks the header it wrote).
const recipe recipes[] = {
    {"grey 1", grey + "-define png:color-type=0 -define png:bit-depth=1", 0, 1, 0, false},
    {"grey 2", grey + "-define png:color-type=0 -define png:bit-depth=2", 0, 2, 0, false},
    {"grey 4", grey + "-define png:color-type=0 -define png:bit-depth=4", 0, 4, 0, false},
    {"grey 8", grey + "-depth 8 -define png:color-type=0", 0, 8, 0, false},
    {"grey 16", grey + "-depth 16 -define png:color-type=0", 0, 16, 0, false},
    {"grey 8 tRNS", grey + "-depth 8" + black_clear + "-define png:color-type=0", 0, 8, 0, true},
    {"grey 16 tRNS", grey + "-depth 16" + black_clear + "-define png:color-type=0", 0, 16, 0, true},
    {"grey 2 interlaced", grey + "-interlace PNG -define png:color-type=0 -define png:bit-depth=2",
     0, 2, 1, false},
    {"grey+alpha 8", alpha + grey + "-depth 8 -define png:color-type=4", 4, 8, 0, false},
    {"grey+alpha 16", alpha + grey + "-depth 16 -define png:color-type=4", 4, 16, 0, false},
    {"RGB 8", "-depth 8 -define png:color-type=2", 2, 8, 0, false},
    {"RGB 16", "-depth 16 -define png:color-type=2", 2, 16, 0, false},
    {"RGB 8 tRNS", "-depth 8" + one_colour_clear + "-define png:color-type=2", 2, 8, 0, true},
    {"RGB 16 tRNS", "-depth 16" + one_colour_clear + "-define png:color-type=2", 2, 16, 0, true},
    {"RGB 16 interlaced", "-depth 16 -interlace PNG -define png:color-type=2", 2, 16, 1, false},
    {"RGBA 8", alpha + "-depth 8 -define png:color-type=6", 6, 8, 0, false},
    {"RGBA 16", alpha + "-depth 16 -define png:color-type=6", 6, 16, 0, false},
    {"RGBA 8 interlaced", alpha + "-depth 8 -interlace PNG -define png:color-type=6", 6, 8, 1,
     false},
    {"palette 1", "+dither -colors 2 -depth 1 -define png:color-type=3", 3, 1, 0, false},
    {"palette 2", "+dither -colors 4 -define png:bit-depth=2", 3, 2, 0, false, "PNG8:"},
    {"palette 4", "+dither -colors 8 -depth 4 -define png:color-type=3", 3, 4, 0, false},
    {"palette 8", "+dither -colors 60 -define png:color-type=3", 3, 8, 0, false},
    {"palette 8 tRNS", "+dither -colors 16 -alpha set -channel A -fx 'i>3?1:0' +channel", 3, 8, 0,
     true, "PNG8:"},
    {"palette 4 interlaced", "+dither -colors 4 -depth 2 -interlace PNG -define png:color-type=3",
     3, 4, 1, false},
};

} // namespace

TEST(PngImageMagick, EveryKindReadAsItReadsIt) {
    scratch_folder folder;
    for (const auto& [width, height] : {std::pair{13, 11}, {1, 1}, {33, 17}, {2, 9}})
        for (const recipe& r : recipes) {
            const std::string png = folder.file("theirs.png");
            const std::string what =
                std::string(r.what) + " " + std::to_string(width) + "x" + std::to_string(height);
            ASSERT_EQ(run(magick + " -size " + std::to_string(width) + "x" +
                          std::to_string(height) + " -seed 3 plasma:fractal " + r.options + " " +
                          r.prefix + "'" + png + "'"),
                      0)
                << what;
            const std::vector<uint8_t> file = read_file_bytes(png);
            png_header header;
            ASSERT_EQ(check_png(file.data(), file.size(), header), kgf_status::ok) << what;
            // A tiny picture may take a smaller depth or type; the kinds are
            // all met at the first size.
            if (width == 13) {
                EXPECT_EQ(header.colour_type, r.colour_type) << what;
                EXPECT_EQ(header.bit_depth, r.bit_depth) << what;
                EXPECT_EQ(header.interlace, r.interlace) << what;
                EXPECT_EQ(has_chunk(file, "tRNS"), r.transparency) << what;
            }
            image_buffer image;
            init_image_buffer(image, 32);
            byte_reader reader = reader_of(file);
            ASSERT_EQ(decode_png(reader, image, row_order::top_first), kgf_status::ok) << what;
            EXPECT_EQ(image.width, width);
            EXPECT_EQ(image.height, height);
            EXPECT_EQ(image.data, pixels_by_imagemagick(folder, png, header.bit_depth == 16))
                << what;
        }
}

// Ours, of noisy and of flat pictures, read back by ImageMagick as written.
TEST(PngImageMagick, OurFilesPassPngcheckAndReadBackByIt) {
    scratch_folder folder;
    for (const int bpp : {24, 32})
        for (const auto& [width, height] : {std::pair{1, 1}, {7, 5}, {64, 32}, {17, 33}}) {
            const image_buffer picture = pattern_image(width, height, bpp, 9);
            std::vector<uint8_t> file;
            ASSERT_EQ(encode_png(file, picture, 0), kgf_status::ok);
            const std::string png = folder.file("ours.png");
            write_file_bytes(png, file);
#ifdef KGF_PNGCHECK
            EXPECT_EQ(run(std::string(KGF_PNGCHECK) + " -q '" + png + "'"), 0);
#endif
            std::vector<uint8_t> truth = pixels_by_imagemagick(folder, png);
            std::vector<uint8_t> ours;
            for (size_t i = 0; i < picture.data.size(); i += static_cast<size_t>(bpp / 8)) {
                ours.insert(ours.end(), &picture.data[i], &picture.data[i] + 3);
                ours.push_back(bpp == 32 ? picture.data[i + 3] : 255);
            }
            EXPECT_EQ(truth, ours) << width << "x" << height << " at " << bpp;
        }
}

#ifdef KGF_OPTIPNG
// Within a tenth of what optipng -o1 makes of the same file, for pictures
// as textures are: photographs, smooth gradients, flat areas, alpha.
TEST(PngImageMagick, CompressedWithinATenthOfOptipng) {
    scratch_folder folder;
    const std::string pictures[] = {
        "-size 256x256 -seed 5 plasma:fractal",
        "-size 256x128 -seed 6 plasma:fractal -blur 0x2",
        "-size 128x128 gradient:red-blue",
        "-size 200x100 xc:gray -fill white -draw 'circle 50,50 80,80' -fill red -draw "
        "'rectangle 120,10 190,90'",
        "-size 128x128 -seed 7 plasma:fractal -alpha set -channel A -fx 'i/w' +channel",
        "rose: -resize 300%",
    };
    for (const std::string& picture : pictures) {
        const std::string theirs = folder.file("picture.png");
        ASSERT_EQ(run(magick + " " + picture + " -depth 8 '" + theirs + "'"), 0) << picture;
        const std::vector<uint8_t> file = read_file_bytes(theirs);
        image_buffer image;
        init_image_buffer(image, 32);
        byte_reader reader = reader_of(file);
        ASSERT_EQ(decode_png(reader, image, row_order::top_first), kgf_status::ok) << picture;
        const bool opaque = picture.find("alpha") == std::string::npos;
        if (opaque) // written at 24 bits
            image = at_depth(image, 24);
        std::vector<uint8_t> ours;
        ASSERT_EQ(encode_png(ours, image, 0), kgf_status::ok);
        const std::string ours_path = folder.file("ours.png");
        const std::string optimised = folder.file("optimised.png");
        write_file_bytes(ours_path, ours);
        ASSERT_EQ(run(std::string(KGF_OPTIPNG) + " -quiet -clobber -o1 -nx -out '" + optimised +
                      "' '" + ours_path + "'"),
                  0);
        const size_t best = read_file_bytes(optimised).size();
        std::printf("%-60.60s ours %zu, optipng -o1 %zu (%.1f%%)\n", picture.c_str(), ours.size(),
                    best, 100.0 * static_cast<double>(ours.size()) / static_cast<double>(best));
        EXPECT_LE(ours.size() * 10, best * 11) << picture;
    }
}
#endif

#endif
