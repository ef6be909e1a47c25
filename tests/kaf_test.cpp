#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "platform/files.h"
#include "platform/message.h"
#include "routines/image_info.h"
#include "routines/kaf_file.h"
#include "routines/kgf_file.h"
#include "settings/settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

const char missing_data[] = "File is missing some data; do not use";

struct run {
    uint8_t count; // 0 stands for one pixel
    uint16_t value;
};

struct frame_spec {
    std::string name;
    unsigned mip_count = 1;
    unsigned width = 4; // the whole 16-bit fields as stored
    unsigned height = 4;
    std::vector<run> runs;
    uint8_t filler_byte = 0; // stored as the fourth filler byte
    unsigned format_field = 0x2820;
};

bytes header_bytes(const frame_spec& frame) {
    bytes out;
    out.push_back(static_cast<uint8_t>(frame.mip_count));
    for (int i = 0; i < 9; ++i)
        out.push_back(i == 3 ? frame.filler_byte : 0);
    put_u16(out, frame.width);
    put_u16(out, frame.height);
    put_u16(out, frame.format_field);
    return out;
}

bytes run_bytes(const std::vector<run>& runs) {
    bytes out;
    for (const run& r : runs) {
        out.push_back(r.count);
        put_u16(out, r.value);
    }
    return out;
}

bytes frame_bytes(const frame_spec& frame) {
    bytes out = {0xAB, 0xCD, 0xEF}; // lead bytes, never examined
    put_text(out, frame.name);
    const bytes header = header_bytes(frame);
    out.insert(out.end(), header.begin(), header.end());
    const bytes runs = run_bytes(frame.runs);
    out.insert(out.end(), runs.begin(), runs.end());
    return out;
}

// Short form: 127, count at byte 2, seven bytes; long form: count first, 17.
bytes kaf_header(bool short_form, unsigned count) {
    if (short_form)
        return {127, 0x55, static_cast<uint8_t>(count), 0x66, 0x77, 0x88, 0x99};
    bytes out = {static_cast<uint8_t>(count)};
    for (int i = 1; i < 17; ++i)
        out.push_back(static_cast<uint8_t>(0xF0 + i));
    return out;
}

bytes kaf_file(bool short_form, const std::vector<frame_spec>& frames, const bytes& tail = {}) {
    bytes out = kaf_header(short_form, static_cast<unsigned>(frames.size()));
    for (const frame_spec& frame : frames) {
        const bytes record = frame_bytes(frame);
        out.insert(out.end(), record.begin(), record.end());
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// Runs covering pixels in one value, at most 250 a run.
void append_solid(std::vector<run>& runs, int64_t pixels, uint16_t value) {
    while (pixels > 0) {
        const int64_t count = std::min<int64_t>(pixels, 250);
        runs.push_back({static_cast<uint8_t>(count == 1 ? 0 : count), value});
        pixels -= count;
    }
}

// One value per level, levels of w * h / 4^k pixels.
std::vector<run> solid_chain(int levels, int width, int height, uint16_t base) {
    std::vector<run> runs;
    int64_t pixels = static_cast<int64_t>(width) * height;
    for (int k = 0; k < levels && pixels > 0; ++k, pixels /= 4)
        append_solid(runs, pixels, static_cast<uint16_t>(base + k));
    return runs;
}

// A first level of distinct pixels, one single-pixel run each.
std::vector<uint16_t> pattern_pixels(int width, int height, unsigned seed) {
    std::vector<uint16_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(
                static_cast<uint16_t>(((x * 7 + y * 3 + seed) % 32) | (((x + seed) % 32) << 5) |
                                      (((y * 5 + seed) % 32) << 10) | ((x + y) % 3 ? 0x8000 : 0)));
    return pixels;
}

std::vector<run> single_runs(const std::vector<uint16_t>& pixels) {
    std::vector<run> runs;
    for (uint16_t pixel : pixels)
        runs.push_back({0, pixel});
    return runs;
}

// The split file as a byte copy: prefix, name, header with mip_count, runs.
bytes copied_kgf(const frame_spec& frame, unsigned mip_count, const std::vector<run>& runs) {
    bytes out = {0x00, 0x00, 0x7A};
    put_text(out, frame.name);
    bytes header = header_bytes(frame);
    header[0] = static_cast<uint8_t>(mip_count);
    out.insert(out.end(), header.begin(), header.end());
    const bytes copied = run_bytes(runs);
    out.insert(out.end(), copied.begin(), copied.end());
    return out;
}

// The chain the split should write: the first level, then make_mip_level.
image_buffer expected_chain(const std::vector<uint16_t>& first, int width, int height, int levels) {
    image_buffer image;
    init_image_buffer(image, 16);
    image.num_mipmaps = static_cast<int16_t>(levels);
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    allocate_image_data(image, mip_chain_bytes(image));
    for (size_t i = 0; i < first.size() && 2 * i + 1 < image.data.size(); ++i) {
        image.data[2 * i] = static_cast<uint8_t>(first[i] & 0xFF);
        image.data[2 * i + 1] = static_cast<uint8_t>(first[i] >> 8);
    }
    int64_t offset = 2 * static_cast<int64_t>(width) * height;
    for (int level = 2; level <= levels; ++level)
        offset += make_mip_level(image, offset, level);
    return image;
}

struct parse_result {
    int ok = 0;
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = -1;
    int64_t frame_data_size = -1;
};

parse_result parse(const std::string& path, image_buffer* image = nullptr) {
    parse_result result;
    result.ok = parse_kaf(path.c_str(), image, result.frame_data, result.frame_sizes,
                          result.frame_names, result.frame_count, result.frame_data_size);
    return result;
}

struct split_result {
    int ok = 0;
    std::vector<char> frame_names;
    int32_t frame_count = -1;
    std::vector<int32_t> unwritten;
};

split_result split(const std::string& folder, const std::string& path) {
    split_result result;
    result.ok = split_kaf(folder.c_str(), path.c_str(), result.frame_names, result.frame_count,
                          &result.unwritten);
    return result;
}

std::vector<std::string> names_of(const std::vector<char>& packed, int32_t count) {
    std::vector<std::string> names;
    size_t offset = 0;
    for (int32_t i = 0; i < count && offset < packed.size(); ++i) {
        names.emplace_back(packed.data() + offset);
        offset += names.back().size() + 1;
    }
    return names;
}

class kaf_test : public ::testing::Test {
  protected:
    void SetUp() override { reset_core_state(); }

    std::string write_kaf(const bytes& content, const std::string& name = "anim.kaf") {
        const std::string path = input.file(name);
        write_file_bytes(path, content);
        return path;
    }

    std::string out_folder() const { return output.folder_text(); }

    scratch_folder input;
    scratch_folder output;
    message_recorder recorder;
};

TEST_F(kaf_test, short_header_takes_count_from_byte_two) {
    const frame_spec a{"one.kgf", 1, 4, 4, {{16, 0x8001}}};
    const frame_spec b{"two.kgf", 1, 2, 2, {{4, 0x8002}}};
    const bytes content = kaf_file(true, {a, b});
    const parse_result result = parse(write_kaf(content));
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_count, 2);
    EXPECT_EQ(result.frame_data_size, static_cast<int64_t>(content.size()) - 7);
    EXPECT_EQ(result.frame_data, bytes(content.begin() + 7, content.end()));
    EXPECT_EQ(result.frame_sizes, (std::vector<int32_t>{20 + 7 + 3, 20 + 7 + 3}));
    EXPECT_EQ(names_of(result.frame_names, 2), (std::vector<std::string>{"one.kgf", "two.kgf"}));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(kaf_test, long_header_of_twelve_frames) {
    std::vector<frame_spec> frames;
    for (int i = 0; i < 12; ++i)
        frames.push_back({std::string("f") + std::to_string(i) + ".kgf",
                          1,
                          2,
                          2,
                          {{2, static_cast<uint16_t>(i)}, {2, 0x8000}}});
    const bytes content = kaf_file(false, frames);
    ASSERT_EQ(content[0], 12);
    const parse_result result = parse(write_kaf(content));
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_count, 12);
    EXPECT_EQ(result.frame_data_size, static_cast<int64_t>(content.size()) - 17);
    ASSERT_EQ(result.frame_sizes.size(), 12u);
    EXPECT_EQ(result.frame_sizes[0], 20 + 6 + 6);
    EXPECT_EQ(result.frame_sizes[11], 20 + 7 + 6);
    EXPECT_EQ(names_of(result.frame_names, 12).back(), "f11.kgf");
    EXPECT_EQ(result.frame_names.size(), 12u * kaf_name_bytes);
}

TEST_F(kaf_test, file_without_frames_parses_and_splits_to_nothing) {
    const std::vector<bytes> files = {kaf_header(true, 0), kaf_header(false, 0), {0}, {127, 1, 0}};
    for (const bytes& content : files) {
        SCOPED_TRACE(content.size());
        const std::string path = write_kaf(content);
        const parse_result parsed = parse(path);
        EXPECT_EQ(parsed.ok, 1);
        EXPECT_EQ(parsed.frame_count, 0);
        EXPECT_EQ(parsed.frame_data_size, 0);
        EXPECT_TRUE(parsed.frame_names.empty());
        const split_result result = split(out_folder(), path);
        EXPECT_EQ(result.ok, 1);
        EXPECT_EQ(result.frame_count, 0);
        EXPECT_TRUE(result.frame_names.empty());
        EXPECT_TRUE(list_folder(output.path).empty());
        EXPECT_TRUE(recorder.messages().empty());
    }
}

TEST_F(kaf_test, data_may_end_after_a_whole_record_of_the_last_frame) {
    // 16 pixels wanted, the data holds 5 and then ends.
    const frame_spec first{"a.kgf", 1, 4, 4, {{16, 1}}};
    const frame_spec last{"b.kgf", 1, 4, 4, {{5, 2}}};
    const parse_result result = parse(write_kaf(kaf_file(false, {first, last})));
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_sizes, (std::vector<int32_t>{20 + 5 + 3, 20 + 5 + 3}));

    // A last frame whose header ends the data has no runs at all.
    const frame_spec bare{"c.kgf", 1, 4, 4, {}};
    const parse_result headers_only = parse(write_kaf(kaf_file(false, {first, bare})));
    ASSERT_EQ(headers_only.ok, 1);
    EXPECT_EQ(headers_only.frame_sizes[1], 20 + 5);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(kaf_test, incomplete_files_are_refused_and_nothing_is_written) {
    const frame_spec frame{"a.kgf", 1, 4, 4, {{10, 1}, {6, 2}}};
    const bytes whole = kaf_file(false, {frame});
    bytes cut_run(whole.begin(), whole.end() - 1);
    bytes two_claimed = whole;
    two_claimed[0] = 2;
    bytes name_to_end = kaf_header(false, 1);
    for (char c : std::string("\xAB\xCD\xEFname-without-end"))
        name_to_end.push_back(static_cast<uint8_t>(c));
    bytes header_cut = kaf_header(false, 1);
    header_cut.insert(header_cut.end(), {0xAB, 0xCD, 0xEF, 'x', 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    bytes lead_only = kaf_header(true, 1);
    lead_only.insert(lead_only.end(), {1, 2, 3});

    const struct {
        const char* label;
        bytes content;
    } cases[] = {
        {"record cut short", cut_run},
        {"fewer frames than counted", two_claimed},
        {"name runs to the end", name_to_end},
        {"header cut", header_cut},
        {"lead bytes only", lead_only},
        {"short header claiming frames", {127, 0, 3, 0}},
        {"long header claiming frames", {2, 0, 0, 0, 0}},
        {"empty file", {}},
        {"count byte missing", {127, 4}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.label);
        recorder.clear();
        const std::string path = write_kaf(test.content);
        EXPECT_EQ(parse(path).ok, 0);
        ASSERT_EQ(recorder.messages().size(), 1u);
        EXPECT_EQ(recorder.messages()[0].text, missing_data);
        EXPECT_EQ(recorder.messages()[0].caption, "Error");
        EXPECT_EQ(recorder.messages()[0].style, message_ok | message_icon_error);

        recorder.clear();
        const split_result result = split(out_folder(), path);
        EXPECT_EQ(result.ok, 0);
        EXPECT_TRUE(result.frame_names.empty());
        EXPECT_EQ(result.frame_count, 0);
        ASSERT_EQ(recorder.messages().size(), 2u);
        EXPECT_EQ(recorder.messages()[0].text, missing_data);
        EXPECT_EQ(recorder.messages()[1].text, "Conversion terminated.");
        EXPECT_EQ(recorder.messages()[1].caption, "Status");
        EXPECT_EQ(recorder.messages()[1].style, message_ok);
        EXPECT_TRUE(list_folder(output.path).empty());
    }
}

TEST_F(kaf_test, file_that_cannot_be_opened) {
    const parse_result parsed = parse(input.file("absent.kaf"));
    EXPECT_EQ(parsed.ok, 0);
    EXPECT_TRUE(parsed.frame_data.empty());
    EXPECT_TRUE(parsed.frame_names.empty());
    EXPECT_TRUE(recorder.messages().empty());
    const split_result result = split(out_folder(), input.file("absent.kaf"));
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"Conversion terminated."});
}

TEST_F(kaf_test, frame_sizes_follow_the_pixel_count) {
    const struct {
        const char* label;
        frame_spec frame;
        size_t records; // run records that belong to the frame
    } cases[] = {
        {"one run", {"a.kgf", 1, 4, 4, {{16, 1}}}, 1},
        {"single pixels", {"a.kgf", 1, 2, 2, {{0, 1}, {0, 2}, {0, 3}, {0, 4}}}, 4},
        {"run passing the end", {"a.kgf", 1, 4, 4, {{10, 1}, {10, 2}}}, 2},
        {"count one and 255", {"a.kgf", 1, 16, 16, {{1, 1}, {255, 2}}}, 2},
        {"no levels", {"a.kgf", 0, 4, 4, {{16, 1}}}, 1},
        {"no width", {"a.kgf", 1, 0, 4, {{0, 1}}}, 1},
        {"five levels of 4x4", {"a.kgf", 5, 4, 4, {{16, 1}, {4, 2}, {0, 3}}}, 3},
        {"three levels of 8x8 in one run", {"a.kgf", 3, 8, 8, {{250, 1}}}, 1},
        // Mip counts are unsigned: 255 levels of 2x2 are 4 + 1 pixels.
        {"mip count 255", {"a.kgf", 255, 2, 2, {{4, 1}, {0, 2}}}, 2},
        // Only the low bytes of width and height count.
        {"high bytes ignored", {"a.kgf", 1, 0x0302, 0x0102, {{4, 1}}}, 1},
    };
    const bytes trailing = run_bytes({{9, 9}, {9, 9}});
    for (const auto& test : cases) {
        SCOPED_TRACE(test.label);
        const parse_result result = parse(write_kaf(kaf_file(false, {test.frame}, trailing)));
        ASSERT_EQ(result.ok, 1);
        EXPECT_EQ(result.frame_sizes,
                  std::vector<int32_t>{static_cast<int32_t>(20 + 5 + 3 * test.records)});
    }
}

TEST_F(kaf_test, names_are_packed) {
    const frame_spec a{"abcdef", 1, 1, 1, {{0, 1}}};
    const frame_spec b{"second.kgf", 1, 1, 1, {{0, 2}}};
    const frame_spec c{"", 1, 1, 1, {{0, 3}}};
    const frame_spec d{"x", 1, 1, 1, {{0, 4}}};
    const parse_result result = parse(write_kaf(kaf_file(true, {a, b, c, d})));
    ASSERT_EQ(result.ok, 1);
    ASSERT_EQ(result.frame_names.size(), 4u * kaf_name_bytes);
    EXPECT_STREQ(result.frame_names.data(), "abcdef");
    EXPECT_STREQ(result.frame_names.data() + 7, "second.kgf");
    EXPECT_EQ(result.frame_names[18], '\0'); // the empty name
    EXPECT_STREQ(result.frame_names.data() + 19, "x");
}

TEST_F(kaf_test, long_names_are_cut_to_their_slot) {
    const std::string name35(35, 'n');
    const std::string name80 = std::string(60, 'L') + std::string(20, 'T');
    const frame_spec a{name80, 1, 2, 2, {{4, 1}}};
    const frame_spec b{name35, 1, 2, 2, {{4, 2}}};
    const frame_spec c{"z.kgf", 1, 2, 2, {{4, 3}}};
    const std::string path = write_kaf(kaf_file(false, {a, b, c}));
    const parse_result result = parse(path);
    ASSERT_EQ(result.ok, 1);
    ASSERT_EQ(result.frame_names.size(), 3u * kaf_name_bytes);
    EXPECT_EQ(names_of(result.frame_names, 3),
              (std::vector<std::string>{name80.substr(0, 35), name35, "z.kgf"}));
    // The record is still stepped over whole.
    EXPECT_EQ(result.frame_sizes, (std::vector<int32_t>{20 + 80 + 3, 20 + 35 + 3, 20 + 5 + 3}));

    // Cut, the name could be another frame's: that frame fails by its whole
    // name and the others are written.
    const split_result written = split(out_folder(), path);
    EXPECT_EQ(written.ok, 0);
    EXPECT_EQ(recorder.texts(),
              std::vector<std::string>{"Frame name longer than 35 characters: " + name80});
    EXPECT_EQ(read_file_bytes(output.file(name35)), copied_kgf(b, 1, b.runs));
    EXPECT_EQ(read_file_bytes(output.file("z.kgf")), copied_kgf(c, 1, c.runs));
    EXPECT_EQ(list_folder(output.path).size(), 2u);
}

TEST_F(kaf_test, image_and_information_take_each_frame_in_turn) {
    const frame_spec a{"a.kgf", 5, 8, 8, solid_chain(5, 8, 8, 0x8000)};
    const frame_spec b{"b.kgf", 3, 4, 2, solid_chain(3, 4, 2, 0x8100)};
    image_buffer image;
    init_image_buffer(image, 16);
    image.num_mipmaps = 5;
    const parse_result result = parse(write_kaf(kaf_file(false, {a, b})), &image);
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.num_mipmaps, 5);
    EXPECT_EQ(image.bpp, 16);
    EXPECT_TRUE(image.data.empty());
    EXPECT_EQ(image_info.mip_levels, 3);
}

TEST_F(kaf_test, five_level_frames_split_to_their_first_level) {
    const frame_spec a{"first.kgf", 5, 8, 8, solid_chain(5, 8, 8, 0x8000)};
    const frame_spec b{"second.kgf", 5, 4, 4, single_runs(pattern_pixels(4, 4, 1))};
    frame_spec b_full = b;
    append_solid(b_full.runs, 4, 0x1234); // its levels 1 and 2
    append_solid(b_full.runs, 1, 0x4321);
    const frame_spec c{"third.kgf", 1, 2, 2, {{0, 1}, {3, 2}}};
    const std::string path = write_kaf(kaf_file(false, {a, b_full, c}));

    const split_result result = split(out_folder(), path);
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_count, 3);
    EXPECT_EQ(names_of(result.frame_names, 3),
              (std::vector<std::string>{"first.kgf", "second.kgf", "third.kgf"}));
    EXPECT_EQ(read_file_bytes(output.file("first.kgf")),
              copied_kgf(a, 1, solid_chain(1, 8, 8, 0x8000)));
    EXPECT_EQ(read_file_bytes(output.file("second.kgf")), copied_kgf(b, 1, b.runs));
    EXPECT_EQ(read_file_bytes(output.file("third.kgf")), copied_kgf(c, 1, c.runs));
    EXPECT_EQ(list_folder(output.path).size(), 3u);
    EXPECT_TRUE(recorder.messages().empty());

    // What was written reads back as a one-level texture.
    settings.mipmaps = 1;
    image_buffer image;
    init_image_buffer(image, 16);
    ASSERT_EQ(read_kgf(output.file("second.kgf").c_str(), image, all_levels, for_conversion), 1);
    EXPECT_EQ(image.num_mipmaps, 1);
    EXPECT_EQ(image.data.size(), 32u);
}

TEST_F(kaf_test, no_levels_asked_copies_one_record) {
    settings.num_mipmaps = 0;
    const frame_spec a{"a.kgf", 1, 2, 2, {{0, 7}, {3, 8}}};
    const frame_spec b{"b.kgf", 0, 2, 2, {{4, 9}}};
    const split_result result = split(out_folder(), write_kaf(kaf_file(true, {a, b})));
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(read_file_bytes(output.file("a.kgf")), copied_kgf(a, 0, {{0, 7}}));
    EXPECT_EQ(read_file_bytes(output.file("b.kgf")), copied_kgf(b, 0, b.runs));
}

TEST_F(kaf_test, frames_of_128_pixels_are_read_by_both) {
    const frame_spec big{"big.kgf", 1, 128, 128, solid_chain(1, 128, 128, 0x8421)};
    ASSERT_EQ(big.runs.size(), 66u);
    frame_spec signed_big = big; // 0xFF80 is -128; its low byte is still 128
    signed_big.name = "signed.kgf";
    signed_big.width = 0xFF80;
    const frame_spec after{"after.kgf", 1, 1, 1, {{0, 5}}};
    const std::string path = write_kaf(kaf_file(false, {big, signed_big, after}));

    image_buffer image;
    init_image_buffer(image, 16);
    const parse_result result = parse(path, &image);
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_sizes,
              (std::vector<int32_t>{20 + 7 + 3 * 66, 20 + 10 + 3 * 66, 20 + 9 + 3}));

    const split_result written = split(out_folder(), path);
    ASSERT_EQ(written.ok, 1);
    EXPECT_EQ(read_file_bytes(output.file("big.kgf")), copied_kgf(big, 1, big.runs));
    EXPECT_EQ(read_file_bytes(output.file("signed.kgf")),
              copied_kgf(signed_big, 1, signed_big.runs));
    EXPECT_EQ(read_file_bytes(output.file("after.kgf")), copied_kgf(after, 1, after.runs));
}

TEST_F(kaf_test, frames_wider_than_128_use_the_same_reading_in_both) {
    // 200 x 2 is 400 pixels: two runs; a signed reading would see 56 x 2.
    const frame_spec wide{"wide.kgf", 1, 200, 2, {{250, 1}, {150, 2}}};
    const frame_spec after{"after.kgf", 1, 1, 1, {{0, 5}}};
    const std::string path = write_kaf(kaf_file(false, {wide, after}));
    image_buffer image;
    init_image_buffer(image, 16);
    const parse_result result = parse(path, &image);
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(result.frame_sizes, (std::vector<int32_t>{20 + 8 + 6, 20 + 9 + 3}));

    const split_result written = split(out_folder(), path);
    ASSERT_EQ(written.ok, 1);
    EXPECT_EQ(read_file_bytes(output.file("wide.kgf")), copied_kgf(wide, 1, wide.runs));
    EXPECT_EQ(read_file_bytes(output.file("after.kgf")), copied_kgf(after, 1, after.runs));

    settings.num_mipmaps = 5;
    recorder.clear();
    ASSERT_EQ(split(out_folder(), path).ok, 1);
    settings.mipmaps = 1;
    image_buffer read;
    init_image_buffer(read, 16);
    ASSERT_EQ(read_kgf(output.file("wide.kgf").c_str(), read, all_levels, for_conversion), 1);
    std::vector<uint16_t> first(250, 1);
    first.resize(400, 2);
    EXPECT_EQ(read.data, expected_chain(first, 200, 2, 5).data);
}

TEST_F(kaf_test, five_levels_asked_builds_each_frame_chain) {
    settings.num_mipmaps = 5;
    const std::vector<uint16_t> pixels_a = pattern_pixels(8, 8, 3);
    const std::vector<uint16_t> pixels_b = pattern_pixels(16, 16, 11);
    const std::vector<uint16_t> pixels_c = pattern_pixels(6, 6, 5);
    frame_spec a{"a.kgf", 1, 8, 8, single_runs(pixels_a)};
    frame_spec b{"b.kgf", 5, 16, 16, single_runs(pixels_b)};
    append_solid(b.runs, 64 + 16 + 4 + 1, 0x7C00); // its own lower levels are replaced
    frame_spec c{"c.kgf", 1, 6, 6, single_runs(pixels_c)};
    c.filler_byte = 7; // header bytes travel unchanged
    c.format_field = 0x1234;
    // The last run reaches past level 0: its excess is dropped.
    frame_spec d{"d.kgf", 1, 2, 2, {{3, 0x8001}, {9, 0x8002}}};
    const std::string path = write_kaf(kaf_file(false, {a, b, c, d}));

    const split_result result = split(out_folder(), path);
    ASSERT_EQ(result.ok, 1);
    EXPECT_TRUE(recorder.messages().empty());

    settings.mipmaps = 1;
    const struct {
        const frame_spec* frame;
        std::vector<uint16_t> first;
        int width, height;
    } cases[] = {
        {&a, pixels_a, 8, 8},
        {&b, pixels_b, 16, 16},
        {&c, pixels_c, 6, 6},
        {&d, {0x8001, 0x8001, 0x8001, 0x8002}, 2, 2},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.frame->name);
        const std::string file = output.file(test.frame->name);
        const bytes stored = read_file_bytes(file);
        bytes lead = copied_kgf(*test.frame, 5, {});
        ASSERT_GE(stored.size(), lead.size());
        EXPECT_EQ(bytes(stored.begin(), stored.begin() + lead.size()), lead);

        recorder.clear();
        image_buffer image;
        init_image_buffer(image, 16);
        ASSERT_EQ(read_kgf(file.c_str(), image, all_levels, for_conversion), 1);
        EXPECT_EQ(image.num_mipmaps, 5);
        EXPECT_EQ(image.data, expected_chain(test.first, test.width, test.height, 5).data);
    }
}

TEST_F(kaf_test, five_levels_asked_copies_an_incomplete_first_level) {
    settings.num_mipmaps = 5;
    const frame_spec whole{"whole.kgf", 1, 2, 2, {{4, 0x8001}}};
    const frame_spec short_frame{"short.kgf", 1, 4, 4, {{5, 0x8002}, {3, 0x8003}}};
    const split_result result =
        split(out_folder(), write_kaf(kaf_file(false, {whole, short_frame})));
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(read_file_bytes(output.file("short.kgf")),
              copied_kgf(short_frame, 1, short_frame.runs));
    EXPECT_EQ(read_file_bytes(output.file("whole.kgf")).size(), 3u + 10 + 16 + 3 + 3);
}

TEST_F(kaf_test, frame_that_cannot_be_written_is_left_out) {
    const frame_spec a{"a.kgf", 1, 2, 2, {{4, 1}}};
    const frame_spec b{"b.kgf", 1, 2, 2, {{4, 2}}};
    const frame_spec c{"c.kgf", 1, 2, 2, {{4, 3}}};
    const std::string path = write_kaf(kaf_file(false, {a, b, c}));

    // A folder holds b's name: b fails by name, nothing of it is left, a and
    // c are written, and the split tells which frame is missing.
    ASSERT_EQ(create_folder(output.file("b.kgf").c_str()), 1);
    const split_result result = split(out_folder(), path);
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.frame_count, 3);
    EXPECT_EQ(result.unwritten, std::vector<int32_t>{1});
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"a.kgf", "b.kgf", "c.kgf"}));
    EXPECT_EQ(read_file_bytes(output.file("a.kgf")), copied_kgf(a, 1, a.runs));
    EXPECT_EQ(read_file_bytes(output.file("c.kgf")), copied_kgf(c, 1, c.runs));
    EXPECT_EQ(without_reasons(recorder.texts()),
              std::vector<std::string>{"Cannot write " + output.file("b.kgf")});

    // An output folder that cannot exist: every frame is reported.
    recorder.clear();
    write_file_bytes(output.file("plain"), {1});
    const std::string blocked = output.file("plain") + "/sub/";
    const split_result none = split(blocked, path);
    EXPECT_EQ(none.ok, 0);
    EXPECT_EQ(names_of(none.frame_names, none.frame_count).size(), 3u);
    EXPECT_EQ(none.unwritten, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(without_reasons(recorder.texts()),
              (std::vector<std::string>{"Cannot create " + blocked + "a.kgf",
                                        "Cannot create " + blocked + "b.kgf",
                                        "Cannot create " + blocked + "c.kgf"}));
}

TEST_F(kaf_test, long_names_are_cut_between_characters) {
    std::string name; // twelve characters of three bytes: 36 bytes
    for (int i = 0; i < 12; ++i)
        name += "\xE6\x9C\xA8";
    const frame_spec a{name, 1, 2, 2, {{4, 1}}};
    const std::string path = write_kaf(kaf_file(false, {a}));
    const parse_result result = parse(path);
    ASSERT_EQ(result.ok, 1);
    EXPECT_EQ(names_of(result.frame_names, 1), std::vector<std::string>{name.substr(0, 33)});
}

TEST_F(kaf_test, path_longer_than_255_is_refused_per_frame) {
    const std::string base = output.folder_text();
    const size_t room = 255 - base.size() - 1 - std::string("fits.kgf").size();
    const std::string folder = base + std::string(room, 'd') + "/";
    const frame_spec fits{"fits.kgf", 1, 2, 2, {{4, 1}}};
    const frame_spec over{"over1.kgf", 1, 2, 2, {{4, 2}}};
    ASSERT_EQ((folder + fits.name).size(), 255u);
    const split_result result = split(folder, write_kaf(kaf_file(false, {fits, over})));
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.unwritten, std::vector<int32_t>{1});
    EXPECT_TRUE(file_exists(folder + fits.name));
    EXPECT_EQ(list_folder(folder), std::vector<std::string>{"fits.kgf"});
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"Path is too long: over1.kgf"});
}

TEST_F(kaf_test, names_that_leave_the_folder_are_refused) {
    const std::string folder = output.file("out") + "/";
    std::vector<frame_spec> frames;
    for (const char* name :
         {"../escape.kgf", "sub/x.kgf", "sub\\y.kgf", "c:z.kgf", "", ".", "..", "fine.kgf"})
        frames.push_back({name, 1, 1, 1, {{0, 1}}});
    const split_result result = split(folder, write_kaf(kaf_file(false, frames)));
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.frame_count, 8);
    EXPECT_EQ(result.unwritten, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(list_folder(output.path), std::vector<std::string>{"out"});
    EXPECT_EQ(list_folder(folder), std::vector<std::string>{"fine.kgf"});
    ASSERT_EQ(recorder.texts().size(), 7u);
    EXPECT_EQ(recorder.texts()[0], "Bad frame name: ../escape.kgf");
}

// Damaged and hostile files: never a read or write outside a block.
TEST_F(kaf_test, hostile_files_never_break_out) {
    std::vector<bytes> files;
    files.push_back(kaf_header(false, 255));
    files.push_back(kaf_header(true, 255));
    {
        bytes many = kaf_header(false, 255); // frames of nothing but lead bytes and NULs
        many.resize(many.size() + 255 * 20, 0);
        files.push_back(many);
    }
    {
        // Largest dimensions and mip count, single-pixel runs that end early.
        frame_spec frame{"max.kgf", 255, 0xFFFF, 0xFFFF, {}};
        for (int i = 0; i < 300; ++i)
            frame.runs.push_back({0, static_cast<uint16_t>(i)});
        files.push_back(kaf_file(false, {frame, frame}));
        frame.mip_count = 0x80;
        files.push_back(kaf_file(true, {frame}));
    }
    {
        bytes long_name = kaf_header(false, 1);
        long_name.insert(long_name.end(), 3, 0);
        long_name.insert(long_name.end(), 5000, 'q');
        files.push_back(long_name);
        long_name.push_back(0);
        files.push_back(long_name);
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 300; ++i) {
        bytes garbage(random() % 400);
        for (uint8_t& b : garbage)
            b = static_cast<uint8_t>(random() % 4 == 0 ? 0 : random());
        if (!garbage.empty() && i % 2 == 0)
            garbage[0] = static_cast<uint8_t>(i % 3 == 0 ? 127 : random() % 6);
        if (garbage.size() > 2 && i % 3 == 0)
            garbage[2] = static_cast<uint8_t>(random() % 4);
        files.push_back(garbage);
    }

    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string path = write_kaf(files[i]);
        image_buffer image;
        init_image_buffer(image, 16);
        const parse_result parsed = parse(path, &image);
        if (parsed.ok) {
            int64_t total = 0;
            for (int32_t size : parsed.frame_sizes)
                total += size;
            EXPECT_LE(total, parsed.frame_data_size);
        }
        for (int levels : {1, 5}) {
            settings.num_mipmaps = static_cast<uint8_t>(levels);
            scratch_folder out;
            const split_result result = split(out.folder_text(), path);
            EXPECT_LE(result.ok, parsed.ok);
            EXPECT_EQ(result.ok == 0 && parsed.ok, !result.unwritten.empty());
        }
    }
    EXPECT_EQ(parse(write_kaf(files[0])).ok, 0);
}

} // namespace
