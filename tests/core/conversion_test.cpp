// convert_file over memory: the input's bytes in the request, the outputs
// held in a journal, the findings and the name-length question recorded;
// and the names outputs are given.
#include "convert/convert.h"
#include "convert/output_names.h"
#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/png.h"
#include "formats/tga.h"
#include "platform/files.h"
#include "support/core_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

TEST(ConversionCore, OutputAndShownNames) {
    struct name_case {
        file_type to;
        const char* input;
        const char* output;
        const char* shown;
    };
    const name_case cases[] = {
        {file_type::kgf, "wall.tga", "wall.kgf", "wall.kgf"},
        {file_type::kgf, "wall.TGA", "wall.kgf", "wall.kgf"},
        // No letter is lost: a name without the input's ending gets the
        // output's added.
        {file_type::kgf, "texture", "texture.kgf", "texture.kgf"},
        {file_type::kgf, "ab", "ab.kgf", "ab.kgf"},
        {file_type::tga, "texture", "texture.tga", "texture"},
        {file_type::tga, "ab", "ab.tga", "ab"},
    };
    const std::vector<uint8_t> input = tga_file_bytes(pattern_image(4, 4, 32, 3));
    for (const name_case& c : cases) {
        memory_conversion conversion(file_type::tga, c.to, c.input, input);
        const conversion_result result = conversion.run();
        EXPECT_EQ(result.status, kgf_status::ok) << c.input;
        EXPECT_EQ(result.shown_name, c.shown) << c.input;
        EXPECT_EQ(conversion.output_names(), std::vector<std::string>{c.output}) << c.input;
    }
    // The input's folder is no part of the names; a folder given with its
    // separator keeps one.
    const std::string path = std::string("in") + path_separator + "wall.tga";
    memory_conversion conversion(file_type::tga, file_type::kgf, path.c_str(), input);
    conversion.request.folder = std::string("out") + path_separator;
    EXPECT_EQ(conversion.run().shown_name, "wall.kgf");
    EXPECT_EQ(conversion.output_names(), std::vector<std::string>{"wall.kgf"});
}

TEST(ConversionCore, TgaToKgfBytes) {
    const image_buffer picture = pattern_image(16, 8, 24, 1);
    const held_outputs expected = {
        {"wall.kgf", kgf_file_bytes("wall.kgf", at_depth(picture, 16), 1)}};
    const std::vector<uint8_t> input = tga_file_bytes(picture);
    for (const char* name : {"wall.tga", "wall.TGA"}) {
        memory_conversion conversion(file_type::tga, file_type::kgf, name, input);
        EXPECT_EQ(conversion.run().status, kgf_status::ok);
        EXPECT_EQ(conversion.outputs(), expected) << name;
        EXPECT_TRUE(conversion.recorded.findings.empty()) << name;
    }
}

TEST(ConversionCore, KgfOutputHasTheConfiguredLevels) {
    const image_buffer picture = pattern_image(32, 32, 16, 2);
    const std::vector<uint8_t> five = kgf_file_bytes("five.kgf", picture, 5);
    memory_conversion conversion(file_type::kgf, file_type::kgf, "five.kgf", five);
    // Five levels read with the all-levels option off, written with one.
    conversion.request.options.num_mipmaps = 1;
    EXPECT_EQ(conversion.run().status, kgf_status::ok);
    EXPECT_EQ(conversion.outputs(),
              (held_outputs{{"five.kgf", kgf_file_bytes("five.kgf", picture, 1)}}));

    // The first level only, levels 2 to 5 built anew.
    conversion.request.options.num_mipmaps = 5;
    EXPECT_EQ(conversion.run().status, kgf_status::ok);
    EXPECT_EQ(conversion.outputs(), (held_outputs{{"five.kgf", five}}));
    EXPECT_EQ(read_kgf_bytes(five).num_mipmaps, 5);
}

TEST(ConversionCore, LongNameAnswers) {
    const std::string question = "Filename exceeds 36 characters, and will not readable by "
                                 "Corvane 3. Are you sure you want to continue?";
    const std::string thirty_five = std::string(31, 'n') + ".tga";
    const std::string thirty_six = std::string(32, 'n') + ".tga";
    using told = std::vector<std::pair<std::string, bool>>;
    struct answer_case {
        const std::string& input;
        long_name_answer option;
        bool answer; // to a question asked
        kgf_status status;
        std::vector<std::string> asked;
        told told_answers;
    };
    const auto refuse = long_name_answer::refuse, ask = long_name_answer::ask,
               write = long_name_answer::write;
    const auto ok = kgf_status::ok, stopped = kgf_status::conversion_terminated;
    const answer_case cases[] = {
        {thirty_five, refuse, false, ok, {}, {}},
        {thirty_six, ask, true, ok, {question}, {}},
        // A No is no failure reported: the file fails all the same.
        {thirty_six, ask, false, stopped, {question}, {}},
        {thirty_six, write, false, ok, {}, {{question, true}}},
        {thirty_six, refuse, true, stopped, {}, {{question, false}}},
    };
    const std::vector<uint8_t> input = tga_file_bytes(pattern_image(4, 4, 24, 5));
    for (const answer_case& c : cases) {
        memory_conversion conversion(file_type::tga, file_type::kgf, c.input.c_str(), input);
        conversion.request.options.long_names = c.option;
        conversion.recorded.answer = c.answer;
        const conversion_result result = conversion.run();
        const bool written = c.status == kgf_status::ok;
        const std::string output = c.input.substr(0, c.input.size() - 3) + "kgf";
        SCOPED_TRACE(testing::Message() << c.input.size() << " characters, option "
                                        << static_cast<int>(c.option) << ", answer " << c.answer);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(conversion.recorded.questions, c.asked);
        EXPECT_EQ(conversion.recorded.told, c.told_answers);
        EXPECT_EQ(conversion.output_names(),
                  written ? std::vector<std::string>{output} : std::vector<std::string>{});
        // The selection shows the name it had when nothing was written.
        EXPECT_EQ(result.shown_name, written ? output : c.input);
        EXPECT_TRUE(conversion.recorded.findings.empty());
    }
}

TEST(ConversionCore, KgfToTgaLevelFiles) {
    struct level_case {
        const char* suffix;
        kgf_levels levels_read;
        std::vector<std::string> outputs;
    };
    const level_case cases[] = {
        {"_MM", kgf_levels::from_file, {"wall_MM1.tga", "wall_MM2.tga", "wall_MM3.tga"}},
        {"ABCDEFGHI",
         kgf_levels::from_file,
         {"wallABCDEFGHI1.tga", "wallABCDEFGHI2.tga", "wallABCDEFGHI3.tga"}},
        {"", kgf_levels::from_file, {"wall1.tga", "wall2.tga", "wall3.tga"}},
        {"_MM", kgf_levels::first_only, {"wall.tga"}},
    };
    const std::vector<uint8_t> input = kgf_file_bytes("wall.kgf", pattern_image(4, 4, 16, 6), 5);
    for (const level_case& c : cases) {
        memory_conversion conversion(file_type::kgf, file_type::tga, "wall.kgf", input);
        std::snprintf(conversion.request.options.suffix, suffix_bytes, "%s", c.suffix);
        conversion.request.options.kgf_levels_read = c.levels_read;
        EXPECT_EQ(conversion.run().status, kgf_status::ok);
        EXPECT_EQ(conversion.output_names(), c.outputs) << c.suffix;
    }
    // Each level's file holds its own level: 4x4, 2x2, then 1x1; levels 4
    // and 5 hold no pixel and are told once.
    memory_conversion conversion(file_type::kgf, file_type::tga, "wall.kgf", input);
    conversion.request.options.kgf_levels_read = kgf_levels::from_file;
    std::snprintf(conversion.request.options.suffix, suffix_bytes, "%s", "_MM");
    EXPECT_EQ(conversion.run().status, kgf_status::ok);
    EXPECT_EQ(conversion.recorded.findings,
              (std::vector<finding>{{kgf_status::empty_levels, "wall.kgf: levels 4 to 5"}}));
    const size_t sizes[] = {18 + 48, 18 + 12, 18 + 3};
    for (int level = 1; level <= 3; ++level)
        EXPECT_EQ(conversion.outputs()["wall_MM" + std::to_string(level) + ".tga"].size(),
                  sizes[level - 1])
            << level;
}

TEST(ConversionCore, KgfToTgaPixelsAtTheChosenDepth) {
    const image_buffer picture = pattern_image(6, 3, 16, 8);
    const std::vector<uint8_t> input = kgf_file_bytes("p.kgf", picture, 1);
    // Any stored depth other than 24 writes 32 bits, as the options dialog shows it.
    for (const auto& [stored, written] : {std::pair{24, 24}, {32, 32}, {16, 32}, {0, 32}}) {
        memory_conversion conversion(file_type::kgf, file_type::tga, "p.kgf", input);
        conversion.request.options.bpp = static_cast<uint8_t>(stored);
        EXPECT_EQ(conversion.run().status, kgf_status::ok);
        EXPECT_EQ(conversion.outputs(),
                  (held_outputs{{"p.tga", tga_file_bytes(at_depth(picture, written))}}))
            << stored;
    }
}

TEST(ConversionCore, StatusIsTheFilesFirstFailure) {
    struct failure_case {
        file_type from, to;
        std::vector<uint8_t> input;
        kgf_status status;
        std::vector<finding> findings;
    };
    const auto kgf = file_type::kgf, tga = file_type::tga, kaf = file_type::kaf;
    const auto missing = kgf_status::missing_data, tga_type = kgf_status::unsupported_tga_type,
               no_frames = kgf_status::no_frames, stopped = kgf_status::conversion_terminated;
    const std::vector<uint8_t> type_99 = {0, 0, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
    const failure_case cases[] = {
        {kgf, kgf, {0, 0, 0x7A, 'x', 0, 1}, missing, {{missing, "in.x"}}},
        {tga, kgf, type_99, tga_type, {{tga_type, "in.x"}}},
        // An animation read whole that holds no frame.
        {kaf, tga, std::vector<uint8_t>(17, 0), no_frames, {{no_frames, "in.x"}}},
        {kaf, kgf, {1, 0, 0}, missing, {{missing, "in.x"}, {stopped, ""}}},
    };
    for (const failure_case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<int>(c.from) << " to " << static_cast<int>(c.to) << ", "
                     << c.input.size() << " bytes");
        memory_conversion conversion(c.from, c.to, "in.x", c.input);
        const conversion_result result = conversion.run();
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(conversion.recorded.findings, c.findings);
        EXPECT_TRUE(conversion.outputs().empty());
    }
    // A path that does not fit its 256 bytes fails by its name.
    const std::vector<uint8_t> input = tga_file_bytes(pattern_image(2, 2, 24, 13));
    memory_conversion conversion(file_type::tga, file_type::kgf, "w.tga", input);
    conversion.request.folder = std::string(250, 'f');
    EXPECT_EQ(conversion.run().status, kgf_status::path_too_long);
    const std::string path = std::string(250, 'f') + path_separator + "w.kgf";
    EXPECT_EQ(conversion.recorded.findings,
              (std::vector<finding>{{kgf_status::path_too_long, path}}));
}

TEST(ConversionCore, AnimationToTgaWritesEachFrame) {
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(kaf_frame(std::string("f") + std::to_string(i) + ".kgf",
                                   pattern_image(8, 4, 16, 20 + i), 8));
    std::vector<uint8_t> input = kaf_file(frames);
    memory_conversion conversion(file_type::kaf, file_type::tga, "anim.kaf", input);
    conversion_result result = conversion.run();
    EXPECT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(result.shown_name, "anim.kaf");
    EXPECT_EQ(conversion.output_names(), (std::vector<std::string>{"f0.tga", "f1.tga", "f2.tga"}));

    // A frame's sides are the low bytes of its fields, as every reader of
    // frames takes them: a high byte changes nothing, to TGA or to KGF.
    const held_outputs before = conversion.outputs();
    frames[1] = kaf_frame("f1.kgf", pattern_image(8, 4, 16, 21), 0x8008);
    input = kaf_file(frames);
    conversion.request.input_bytes = input.data();
    conversion.request.input_size = input.size();
    result = conversion.run();
    EXPECT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(conversion.outputs(), before);
    conversion.request.to = file_type::kgf;
    EXPECT_EQ(conversion.run().status, kgf_status::ok);
    EXPECT_EQ(read_kgf_bytes(conversion.outputs()["f1.kgf"]).num_mipmaps, 1);
}

TEST(ConversionCore, AnimationToKgfWritesEveryFrame) {
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 2; ++i)
        frames.push_back(kaf_frame(std::string("g") + std::to_string(i) + ".kgf",
                                   pattern_image(4, 4, 16, 30 + i), 4));
    const std::vector<uint8_t> input = kaf_file(frames);
    memory_conversion conversion(file_type::kaf, file_type::kgf, "anim.kaf", input);
    EXPECT_EQ(conversion.run().status, kgf_status::ok);
    const held_outputs outputs = conversion.outputs();
    EXPECT_EQ(conversion.output_names(), (std::vector<std::string>{"g0.kgf", "g1.kgf"}));
    for (const auto& output : outputs)
        EXPECT_EQ(read_kgf_bytes(output.second).num_mipmaps, 1) << output.first;
}

TEST(LastThree, EndingsWithoutLookingForADot) {
    const char* const cases[][2] = {
        {"wall.tga", "tga"}, {"WALL.TGA", "TGA"}, {"xtga", "tga"}, {"ab", "ab"}, {"", ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(last_three(c[0]), c[1]) << c[0];
    // The ending is the name's own: two calls never share a buffer.
    const char* first = "a.kgf";
    const char* second = "b.tga";
    const char* first_ending = last_three(first);
    const char* second_ending = last_three(second);
    EXPECT_EQ(first_ending, first + 2);
    EXPECT_STREQ(first_ending, "kgf");
    EXPECT_STREQ(second_ending, "tga");
}

// An output ends in its type's ending, dot included, and keeps every
// letter of the name it comes from: only an ending of the input's type is
// replaced.
TEST(OutputNames, OnlyTheInputTypesEndingIsReplaced) {
    struct name_case {
        const char* name;
        file_type from;
        const char* kgf_name;
        const char* tga_name;
        const char* level_name;
    };
    const name_case cases[] = {
        {"wall.tga", file_type::tga, "wall.kgf", "wall.tga", "wall_MM2.tga"},
        {"wall.TGA", file_type::tga, "wall.kgf", "wall.tga", "wall_MM2.tga"},
        {"wall.kgf", file_type::kgf, "wall.kgf", "wall.tga", "wall_MM2.tga"},
        {"a.kgf", file_type::kgf, "a.kgf", "a.tga", "a_MM2.tga"},
        {"picture", file_type::tga, "picture.kgf", "picture.tga", "picture_MM2.tga"},
        {"frame01", file_type::tga, "frame01.kgf", "frame01.tga", "frame01_MM2.tga"},
        {"picture.img", file_type::tga, "picture.img.kgf", "picture.img.tga",
         "picture.img_MM2.tga"},
        {"xtga", file_type::tga, "xtga.kgf", "xtga.tga", "xtga_MM2.tga"},
        {"wall.kgf", file_type::tga, "wall.kgf.kgf", "wall.kgf.tga", "wall.kgf_MM2.tga"},
        {"ab", file_type::tga, "ab.kgf", "ab.tga", "ab_MM2.tga"},
        {".tga", file_type::tga, ".kgf", ".tga", "_MM2.tga"},
        {"", file_type::kgf, ".kgf", ".tga", "_MM2.tga"},
        // The routines' writers take any three letters after a dot.
        {"wall.png", file_type::none, "wall.kgf", "wall.tga", "wall_MM2.tga"},
        {"texture", file_type::none, "texture.kgf", "texture.tga", "texture_MM2.tga"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(output_file_name(c.name, c.from, file_type::kgf), c.kgf_name) << c.name;
        EXPECT_EQ(output_file_name(c.name, c.from, file_type::tga), c.tga_name) << c.name;
        EXPECT_EQ(level_file_name(c.name, c.from, "_MM", 2), c.level_name) << c.name;
    }
}

namespace {

std::vector<uint8_t> png_bytes(const image_buffer& picture) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(encode_png(bytes, picture, 0), kgf_status::ok);
    return bytes;
}

// The pixels of a written TGA or PNG file, as 32-bit B, G, R, A top row
// first; a 24-bit file's opaque.
std::vector<uint8_t> pixels_of(const std::string& name, const std::vector<uint8_t>& bytes) {
    byte_reader reader = memory_reader(bytes.data(), bytes.size());
    image_buffer image;
    init_image_buffer(image, 32);
    const bool png = name.substr(name.size() - 3) == "png";
    EXPECT_EQ(png ? decode_png(reader, image, row_order::top_first)
                  : decode_tga(reader, image, row_order::top_first),
              kgf_status::ok)
        << name;
    std::vector<uint8_t> pixels;
    for (size_t i = 0; i + 2 < image.data.size(); i += image.bpp / 8) {
        pixels.insert(pixels.end(), &image.data[i], &image.data[i] + 3);
        pixels.push_back(image.bpp == 32 ? image.data[i + 3] : 255);
    }
    return pixels;
}

} // namespace

// A PNG is the picture a 32-bit TGA of its pixels is: the same KGF, byte for
// byte, at every level count and quality option, with and without alpha.
TEST(PngConversion, PngToKgfIsTgaToKgf) {
    for (const auto& [width, height] : {std::pair{1, 1}, {16, 16}, {37, 23}, {64, 32}})
        for (const bool alpha : {false, true})
            for (const int levels : {1, 5})
                for (const kgf_quality quality : {kgf_quality::none, kgf_quality::best}) {
                    image_buffer picture = pattern_image(width, height, 32, 21);
                    if (!alpha)
                        for (size_t i = 3; i < picture.data.size(); i += 4)
                            picture.data[i] = 255;
                    const std::vector<uint8_t> png = png_bytes(picture);
                    const std::vector<uint8_t> tga = tga_file_bytes(picture);
                    memory_conversion from_png(file_type::png, file_type::kgf, "wall.png", png);
                    memory_conversion from_tga(file_type::tga, file_type::kgf, "wall.tga", tga);
                    for (memory_conversion* c : {&from_png, &from_tga}) {
                        c->request.options.num_mipmaps = static_cast<uint8_t>(levels);
                        c->request.options.quality = quality;
                        EXPECT_EQ(c->run().status, kgf_status::ok);
                    }
                    EXPECT_EQ(from_png.output_names(), std::vector<std::string>{"wall.kgf"});
                    EXPECT_EQ(from_png.outputs(), from_tga.outputs())
                        << width << "x" << height << (alpha ? " alpha " : " ") << levels;
                }
}

// KGF to PNG gives the pixels KGF to TGA gives, file for file: one file or
// one per level with the suffix, at either depth; KAF frames likewise.
TEST(PngConversion, PngOutputsHaveTheTgaOutputsPixels) {
    const image_buffer picture = pattern_image(32, 16, 32, 8);
    const std::vector<uint8_t> kgf = kgf_file_bytes("stone.kgf", picture, 5);
    for (const int bpp : {24, 32})
        for (const kgf_levels levels : {kgf_levels::first_only, kgf_levels::from_file}) {
            memory_conversion to_png(file_type::kgf, file_type::png, "stone.kgf", kgf);
            memory_conversion to_tga(file_type::kgf, file_type::tga, "stone.kgf", kgf);
            for (memory_conversion* c : {&to_png, &to_tga}) {
                c->request.options.bpp = static_cast<uint8_t>(bpp);
                c->request.options.kgf_levels_read = levels;
                std::snprintf(c->request.options.suffix, sizeof c->request.options.suffix, "_L");
                EXPECT_EQ(c->run().status, kgf_status::ok);
            }
            const held_outputs pngs = to_png.outputs(), tgas = to_tga.outputs();
            ASSERT_EQ(pngs.size(), tgas.size());
            ASSERT_EQ(pngs.size(), levels == kgf_levels::first_only ? 1u : 5u);
            for (auto png = pngs.begin(), tga = tgas.begin(); png != pngs.end(); ++png, ++tga) {
                EXPECT_EQ(png->first.substr(0, png->first.size() - 3),
                          tga->first.substr(0, tga->first.size() - 3));
                EXPECT_EQ(png->first.substr(png->first.size() - 4), ".png");
                EXPECT_EQ(pixels_of(png->first, png->second), pixels_of(tga->first, tga->second))
                    << png->first << " at " << bpp;
                // The colour type follows the depth: RGB (2) or RGBA (6).
                EXPECT_EQ(png->second[25], bpp == 32 ? 6 : 2);
            }
        }
}

// PNG to PNG and to TGA, and TGA to PNG: the pixels stay, at 32 bits. A
// 24-bit TGA becomes an opaque PNG.
TEST(PngConversion, PngAndTgaEachWay) {
    const image_buffer picture = pattern_image(9, 7, 32, 4);
    const std::vector<uint8_t> png = png_bytes(picture);
    for (const auto& [from, to, input] : {std::tuple{file_type::png, file_type::png, "a.png"},
                                          {file_type::png, file_type::tga, "a.png"},
                                          {file_type::tga, file_type::png, "a.tga"}}) {
        const std::vector<uint8_t> bytes = from == file_type::png ? png : tga_file_bytes(picture);
        memory_conversion c(from, to, input, bytes);
        c.request.options.bpp = 32;
        ASSERT_EQ(c.run().status, kgf_status::ok);
        const held_outputs out = c.outputs();
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out.begin()->first, to == file_type::png ? "a.png" : "a.tga");
        EXPECT_EQ(pixels_of(out.begin()->first, out.begin()->second), picture.data);
    }
    const image_buffer opaque = pattern_image(9, 7, 24, 4);
    const std::vector<uint8_t> tga = tga_file_bytes(opaque);
    memory_conversion c(file_type::tga, file_type::png, "b.tga", tga);
    c.request.options.bpp = 32;
    ASSERT_EQ(c.run().status, kgf_status::ok);
    EXPECT_EQ(pixels_of("b.png", c.outputs()["b.png"]), pixels_of("b.tga", tga));
}

// A damaged PNG fails its conversion by name and reason, nothing written.
TEST(PngConversion, DamagedPngFailsByName) {
    std::vector<uint8_t> png = png_bytes(pattern_image(9, 7, 32, 4));
    png[png.size() - 20] ^= 1;
    memory_conversion c(file_type::png, file_type::kgf, "bad.png", png);
    EXPECT_EQ(c.run().status, kgf_status::bad_png_checksum);
    EXPECT_TRUE(c.outputs().empty());
    ASSERT_FALSE(c.recorded.findings.empty());
    EXPECT_EQ(status_message(c.recorded.findings.front().status,
                             c.recorded.findings.front().subject.c_str()),
              "bad.png: Bad PNG checksum!");
}
