// The KAF frame walker and splitter, over bytes in memory: animations are
// decoded from a memory reader and split into a journal.
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "platform/files.h"
#include "support/core_support.h"
#include "support/file_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

using run = kgf_run;

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

bytes frame_bytes(const frame_spec& frame) {
    bytes out = {0xAB, 0xCD, 0xEF}; // lead bytes, never examined
    put_text(out, frame.name);
    const bytes header = header_bytes(frame);
    out.insert(out.end(), header.begin(), header.end());
    const bytes runs = runs_bytes(frame.runs);
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
    const bytes copied = runs_bytes(runs);
    out.insert(out.end(), copied.begin(), copied.end());
    return out;
}

// The chain the split should write: the first level, then make_mip_level.
image_buffer expected_chain(const std::vector<uint16_t>& first, int width, int height, int levels) {
    image_buffer image = blank_image(16, width, height, levels);
    for (size_t i = 0; i < first.size() && 2 * i + 1 < image.data.size(); ++i) {
        image.data[2 * i] = static_cast<uint8_t>(first[i] & 0xFF);
        image.data[2 * i + 1] = static_cast<uint8_t>(first[i] >> 8);
    }
    int64_t offset = 2 * static_cast<int64_t>(width) * height;
    for (int level = 2; level <= levels; ++level)
        offset += make_mip_level(image, offset, level);
    return image;
}

struct parsed {
    kgf_status status;
    kaf_animation animation;
};

parsed parse(const bytes& content) {
    parsed result;
    byte_reader reader = reader_of(content);
    result.status = decode_kaf(reader, result.animation);
    return result;
}

// What split_frames gave: the frames not written, the outputs it held in
// its journal and what it reported.
struct split_result {
    kgf_status status = kgf_status::ok; // the first frame's failure
    int failed = -1;                    // frames not written
    std::vector<int32_t> unwritten;
    output_journal journal;
    recording_sink found;

    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const journal_entry& entry : journal.entries)
            out.push_back(entry.path);
        return out;
    }
    bytes output(const std::string& path) const {
        for (const journal_entry& entry : journal.entries)
            if (entry.path == path)
                return entry.bytes;
        ADD_FAILURE() << "no output " << path;
        return {};
    }
};

// Splits into the journal, under the folder "out/".
void split(const kaf_animation& animation, int levels, split_result& result,
           const std::string& folder = "out/") {
    result.status =
        result.found.record(split_frames(animation, folder.c_str(), levels, kgf_quality::none,
                                         &result.journal, &result.unwritten, result.found.sink()));
    result.failed = static_cast<int>(result.unwritten.size());
}

struct split_of_file : split_result {
    split_of_file(const bytes& content, int levels) {
        const parsed read = parse(content);
        EXPECT_EQ(read.status, kgf_status::ok);
        split(read.animation, levels, *this);
    }
};

std::vector<std::string> names_of(const std::vector<char>& packed, int32_t count) {
    std::vector<std::string> names;
    size_t offset = 0;
    for (int32_t i = 0; i < count && offset < packed.size(); ++i) {
        names.emplace_back(packed.data() + offset);
        offset += names.back().size() + 1;
    }
    return names;
}

TEST(kaf_decode, short_header_takes_count_from_byte_two) {
    const frame_spec a{"one.kgf", 1, 4, 4, {{16, 0x8001}}};
    const frame_spec b{"two.kgf", 1, 2, 2, {{4, 0x8002}}};
    const bytes content = kaf_file(true, {a, b});
    const parsed result = parse(content);
    ASSERT_EQ(result.status, kgf_status::ok);
    const kaf_animation& animation = result.animation;
    EXPECT_EQ(animation.frame_count, 2);
    EXPECT_EQ(animation.frame_data, bytes(content.begin() + 7, content.end()));
    EXPECT_EQ(animation.frame_sizes, (std::vector<int32_t>{20 + 7 + 3, 20 + 7 + 3}));
    EXPECT_EQ(names_of(animation.frame_names, 2), (std::vector<std::string>{"one.kgf", "two.kgf"}));
}

TEST(kaf_decode, long_header_of_twelve_frames) {
    std::vector<frame_spec> frames;
    for (unsigned i = 0; i < 12; ++i)
        frames.push_back(
            {std::string("f") + std::to_string(i) + ".kgf", 1, 2, 2, {{2, i}, {2, 0x8000}}});
    const bytes content = kaf_file(false, frames);
    ASSERT_EQ(content[0], 12);
    const parsed result = parse(content);
    ASSERT_EQ(result.status, kgf_status::ok);
    const kaf_animation& animation = result.animation;
    EXPECT_EQ(animation.frame_count, 12);
    EXPECT_EQ(animation.frame_data.size(), content.size() - 17);
    ASSERT_EQ(animation.frame_sizes.size(), 12u);
    EXPECT_EQ(animation.frame_sizes[0], 20 + 6 + 6);
    EXPECT_EQ(animation.frame_sizes[11], 20 + 7 + 6);
    EXPECT_EQ(names_of(animation.frame_names, 12).back(), "f11.kgf");
    EXPECT_EQ(animation.frame_names.size(), 12u * kaf_name_bytes);
}

TEST(kaf_decode, file_without_frames_decodes_and_splits_to_nothing) {
    const std::vector<bytes> files = {kaf_header(true, 0), kaf_header(false, 0), {0}, {127, 1, 0}};
    for (const bytes& content : files) {
        SCOPED_TRACE(content.size());
        const parsed read = parse(content);
        EXPECT_EQ(read.status, kgf_status::ok);
        EXPECT_EQ(read.animation.frame_count, 0);
        EXPECT_TRUE(read.animation.frame_data.empty());
        EXPECT_TRUE(read.animation.frame_names.empty());
        EXPECT_FALSE(read.animation.any_header);
        const split_of_file result(content, 1);
        EXPECT_EQ(result.failed, 0);
        EXPECT_TRUE(result.journal.entries.empty());
        EXPECT_TRUE(result.found.findings.empty());
    }
}

TEST(kaf_decode, a_last_frame_cut_after_a_whole_record_is_refused_by_name) {
    // 16 pixels wanted, the data holds 5 and then ends.
    const frame_spec first{"a.kgf", 1, 4, 4, {{16, 1}}};
    const frame_spec last{"b.kgf", 1, 4, 4, {{5, 2}}};
    const parsed result = parse(kaf_file(false, {first, last}));
    EXPECT_EQ(result.status, kgf_status::frame_missing_data);
    EXPECT_EQ(result.animation.short_frame, "b.kgf");

    // A last frame whose header ends the data has no runs at all.
    const frame_spec bare{"c.kgf", 1, 4, 4, {}};
    const parsed headers_only = parse(kaf_file(false, {first, bare}));
    EXPECT_EQ(headers_only.status, kgf_status::frame_missing_data);
    EXPECT_EQ(headers_only.animation.short_frame, "c.kgf");
}

// Files that end before their frames do, each in its own way.
std::vector<std::pair<const char*, bytes>> incomplete_files() {
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
    return {
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
}

TEST(kaf_decode, incomplete_files_are_missing_data) {
    // A frame whose name was read is named; the others cannot be.
    for (const auto& [label, content] : incomplete_files()) {
        const parsed result = parse(content);
        EXPECT_TRUE(result.status == kgf_status::missing_data ||
                    (result.status == kgf_status::frame_missing_data &&
                     !result.animation.short_frame.empty()))
            << label;
    }
}

TEST(kaf_decode, frame_sizes_follow_the_pixel_count) {
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
    const bytes trailing = runs_bytes({{9, 9}, {9, 9}});
    for (const auto& test : cases) {
        SCOPED_TRACE(test.label);
        const parsed result = parse(kaf_file(false, {test.frame}, trailing));
        ASSERT_EQ(result.status, kgf_status::ok);
        EXPECT_EQ(result.animation.frame_sizes,
                  std::vector<int32_t>{static_cast<int32_t>(20 + 5 + 3 * test.records)});
    }
}

TEST(kaf_decode, names_are_packed) {
    const frame_spec a{"abcdef", 1, 1, 1, {{0, 1}}};
    const frame_spec b{"second.kgf", 1, 1, 1, {{0, 2}}};
    const frame_spec c{"", 1, 1, 1, {{0, 3}}};
    const frame_spec d{"x", 1, 1, 1, {{0, 4}}};
    const parsed result = parse(kaf_file(true, {a, b, c, d}));
    ASSERT_EQ(result.status, kgf_status::ok);
    const std::vector<char>& names = result.animation.frame_names;
    ASSERT_EQ(names.size(), 4u * kaf_name_bytes);
    EXPECT_STREQ(names.data(), "abcdef");
    EXPECT_STREQ(names.data() + 7, "second.kgf");
    EXPECT_EQ(names[18], '\0'); // the empty name
    EXPECT_STREQ(names.data() + 19, "x");
}

TEST(kaf_split, long_names_are_cut_to_their_slot) {
    const std::string name35(35, 'n');
    const std::string name80 = std::string(60, 'L') + std::string(20, 'T');
    const frame_spec a{name80, 1, 2, 2, {{4, 1}}};
    const frame_spec b{name35, 1, 2, 2, {{4, 2}}};
    const frame_spec c{"z.kgf", 1, 2, 2, {{4, 3}}};
    const bytes content = kaf_file(false, {a, b, c});
    const parsed result = parse(content);
    ASSERT_EQ(result.status, kgf_status::ok);
    ASSERT_EQ(result.animation.frame_names.size(), 3u * kaf_name_bytes);
    EXPECT_EQ(names_of(result.animation.frame_names, 3),
              (std::vector<std::string>{name80.substr(0, 35), name35, "z.kgf"}));
    // The record is still stepped over whole.
    EXPECT_EQ(result.animation.frame_sizes,
              (std::vector<int32_t>{20 + 80 + 3, 20 + 35 + 3, 20 + 5 + 3}));

    // Cut, the name could be another frame's: that frame fails by its whole
    // name and the others are written.
    const split_of_file written(content, 1);
    EXPECT_EQ(written.failed, 1);
    EXPECT_EQ(written.unwritten, std::vector<int32_t>{0});
    EXPECT_EQ(written.found.findings, (std::vector<finding>{{kgf_status::frame_name_cut, name80}}));
    // A name without the ending gets it: the file and the name it holds.
    EXPECT_EQ(written.paths(), (std::vector<std::string>{"out/" + name35 + ".kgf", "out/z.kgf"}));
    frame_spec b_file = b;
    b_file.name = name35 + ".kgf";
    EXPECT_EQ(written.output("out/" + name35 + ".kgf"), copied_kgf(b_file, 1, b.runs));
    EXPECT_EQ(written.output("out/z.kgf"), copied_kgf(c, 1, c.runs));
}

TEST(kaf_decode, the_last_header_read_is_kept) {
    const frame_spec a{"a.kgf", 5, 8, 8, solid_chain(5, 8, 8, 0x8000)};
    const frame_spec b{"b.kgf", 3, 4, 2, solid_chain(3, 4, 2, 0x8100)};
    const parsed result = parse(kaf_file(false, {a, b}));
    ASSERT_EQ(result.status, kgf_status::ok);
    EXPECT_TRUE(result.animation.any_header);
    EXPECT_EQ(result.animation.last_frame.width, 4);
    EXPECT_EQ(result.animation.last_frame.height, 2);
    EXPECT_EQ(result.animation.last_frame.mip_count, 3);

    // A frame cut inside its runs still gives its header.
    bytes cut = kaf_file(false, {a, b});
    cut.resize(cut.size() - 1);
    const parsed partial = parse(cut);
    EXPECT_EQ(partial.status, kgf_status::frame_missing_data);
    EXPECT_EQ(partial.animation.short_frame, "b.kgf");
    EXPECT_EQ(partial.animation.last_frame.mip_count, 3);
}

TEST(kaf_split, five_level_frames_split_to_their_first_level) {
    const frame_spec a{"first.kgf", 5, 8, 8, solid_chain(5, 8, 8, 0x8000)};
    const frame_spec b{"second.kgf", 5, 4, 4, single_runs(pattern_pixels(4, 4, 1))};
    frame_spec b_full = b;
    append_solid(b_full.runs, 4, 0x1234); // its levels 1 and 2
    append_solid(b_full.runs, 1, 0x4321);
    const frame_spec c{"third.kgf", 1, 2, 2, {{0, 1}, {3, 2}}};

    const split_of_file result(kaf_file(false, {a, b_full, c}), 1);
    ASSERT_EQ(result.failed, 0);
    EXPECT_EQ(result.paths(),
              (std::vector<std::string>{"out/first.kgf", "out/second.kgf", "out/third.kgf"}));
    EXPECT_EQ(result.output("out/first.kgf"), copied_kgf(a, 1, solid_chain(1, 8, 8, 0x8000)));
    EXPECT_EQ(result.output("out/second.kgf"), copied_kgf(b, 1, b.runs));
    EXPECT_EQ(result.output("out/third.kgf"), copied_kgf(c, 1, c.runs));
    EXPECT_TRUE(result.found.findings.empty());

    // What was written reads back as a one-level texture.
    const image_buffer image = read_kgf_bytes(result.output("out/second.kgf"));
    EXPECT_EQ(image.num_mipmaps, 1);
    EXPECT_EQ(image.data.size(), 32u);
}

TEST(kaf_split, no_levels_asked_writes_one) {
    const frame_spec a{"a.kgf", 1, 2, 2, {{0, 7}, {3, 8}}};
    const frame_spec b{"b.kgf", 0, 2, 2, {{4, 9}}};
    const split_of_file result(kaf_file(true, {a, b}), 0);
    EXPECT_EQ(result.output("out/a.kgf"), copied_kgf(a, 1, a.runs));
    // A frame that declares no level is refused as when levels are asked.
    EXPECT_EQ(result.unwritten, std::vector<int32_t>{1});
}

TEST(kaf_split, frames_of_128_pixels_are_read_by_both) {
    const frame_spec big{"big.kgf", 1, 128, 128, solid_chain(1, 128, 128, 0x8421)};
    ASSERT_EQ(big.runs.size(), 66u);
    frame_spec signed_big = big; // 0xFF80 is -128; its low byte is still 128
    signed_big.name = "signed.kgf";
    signed_big.width = 0xFF80;
    const frame_spec after{"after.kgf", 1, 1, 1, {{0, 5}}};
    const bytes content = kaf_file(false, {big, signed_big, after});

    const parsed result = parse(content);
    ASSERT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(result.animation.frame_sizes,
              (std::vector<int32_t>{20 + 7 + 3 * 66, 20 + 10 + 3 * 66, 20 + 9 + 3}));

    const split_of_file written(content, 1);
    ASSERT_EQ(written.failed, 0);
    EXPECT_EQ(written.output("out/big.kgf"), copied_kgf(big, 1, big.runs));
    // Its KGF gives the side every reader of frames takes.
    frame_spec signed_as_split = big;
    signed_as_split.name = "signed.kgf";
    EXPECT_EQ(written.output("out/signed.kgf"),
              copied_kgf(signed_as_split, 1, signed_as_split.runs));
    EXPECT_EQ(written.output("out/after.kgf"), copied_kgf(after, 1, after.runs));
}

TEST(kaf_split, frames_wider_than_128_use_the_same_reading_in_both) {
    // 200 x 2 is 400 pixels: two runs; a signed reading would see 56 x 2.
    const frame_spec wide{"wide.kgf", 1, 200, 2, {{250, 1}, {150, 2}}};
    const frame_spec after{"after.kgf", 1, 1, 1, {{0, 5}}};
    const bytes content = kaf_file(false, {wide, after});
    const parsed result = parse(content);
    ASSERT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(result.animation.frame_sizes, (std::vector<int32_t>{20 + 8 + 6, 20 + 9 + 3}));

    const split_of_file written(content, 1);
    ASSERT_EQ(written.failed, 0);
    EXPECT_EQ(written.output("out/wide.kgf"), copied_kgf(wide, 1, wide.runs));
    EXPECT_EQ(written.output("out/after.kgf"), copied_kgf(after, 1, after.runs));

    const split_of_file chains(content, 5);
    ASSERT_EQ(chains.failed, 0);
    std::vector<uint16_t> first(250, 1);
    first.resize(400, 2);
    EXPECT_EQ(read_kgf_bytes(chains.output("out/wide.kgf")).data,
              expected_chain(first, 200, 2, 5).data);
}

TEST(kaf_split, five_levels_asked_builds_each_frame_chain) {
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

    const split_of_file result(kaf_file(false, {a, b, c, d}), 5);
    ASSERT_EQ(result.failed, 0);
    EXPECT_TRUE(result.found.findings.empty());

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
        const bytes stored = result.output("out/" + test.frame->name);
        bytes lead = copied_kgf(*test.frame, 5, {});
        ASSERT_GE(stored.size(), lead.size());
        EXPECT_EQ(bytes(stored.begin(), stored.begin() + lead.size()), lead);

        const image_buffer image = read_kgf_bytes(stored);
        EXPECT_EQ(image.num_mipmaps, 5);
        EXPECT_EQ(image.data, expected_chain(test.first, test.width, test.height, 5).data);
    }
}

// Without a journal the frames are written at once, each by itself.
TEST(kaf_split, frame_that_cannot_be_written_is_left_out) {
    const frame_spec a{"a.kgf", 1, 2, 2, {{4, 1}}};
    const frame_spec b{"b.kgf", 1, 2, 2, {{4, 2}}};
    const frame_spec c{"c.kgf", 1, 2, 2, {{4, 3}}};
    const parsed read = parse(kaf_file(false, {a, b, c}));
    ASSERT_EQ(read.status, kgf_status::ok);
    scratch_folder output;
    const std::string folder = output.folder_text();

    // A folder holds b's name: b fails by name, nothing of it is left, a and
    // c are written, and the split tells which frame is missing.
    ASSERT_TRUE(create_folder(output.file("b.kgf").c_str()));
    recording_sink found;
    std::vector<int32_t> unwritten;
    EXPECT_EQ(found.record(split_frames(read.animation, folder.c_str(), 1, kgf_quality::none,
                                        nullptr, &unwritten, found.sink())),
              kgf_status::cannot_write);
    EXPECT_EQ(unwritten, std::vector<int32_t>{1});
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"a.kgf", "b.kgf", "c.kgf"}));
    EXPECT_EQ(read_file_bytes(output.file("a.kgf")), copied_kgf(a, 1, a.runs));
    EXPECT_EQ(read_file_bytes(output.file("c.kgf")), copied_kgf(c, 1, c.runs));
    EXPECT_EQ(found.findings, (std::vector<finding>{{kgf_status::cannot_write, folder + "b.kgf"}}));

    // An output folder that cannot exist: every frame is reported.
    write_file_bytes(output.file("plain"), {1});
    const std::string blocked = output.file("plain") + "/sub/";
    recording_sink none;
    unwritten.clear();
    EXPECT_EQ(none.record(split_frames(read.animation, blocked.c_str(), 1, kgf_quality::none,
                                       nullptr, &unwritten, none.sink())),
              kgf_status::folder_not_made);
    EXPECT_EQ(unwritten, (std::vector<int32_t>{0, 1, 2}));
    const std::string folder_made = output.file("plain") + "/sub";
    EXPECT_EQ(none.findings,
              (std::vector<finding>{
                  {kgf_status::folder_not_made, folder_made + " for " + blocked + "a.kgf"},
                  {kgf_status::folder_not_made, folder_made + " for " + blocked + "b.kgf"},
                  {kgf_status::folder_not_made, folder_made + " for " + blocked + "c.kgf"}}));
}

TEST(kaf_decode, long_names_are_cut_between_characters) {
    std::string name; // twelve characters of three bytes: 36 bytes
    for (int i = 0; i < 12; ++i)
        name += "\xE6\x9C\xA8";
    const frame_spec a{name, 1, 2, 2, {{4, 1}}};
    const parsed result = parse(kaf_file(false, {a}));
    ASSERT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(names_of(result.animation.frame_names, 1),
              std::vector<std::string>{name.substr(0, 33)});
}

TEST(kaf_split, path_longer_than_255_is_refused_per_frame) {
    const frame_spec fits{"fits.kgf", 1, 2, 2, {{4, 1}}};
    const frame_spec over{"over1.kgf", 1, 2, 2, {{4, 2}}};
    const std::string folder = "out/" + std::string(255 - 5 - fits.name.size(), 'd') + "/";
    ASSERT_EQ((folder + fits.name).size(), 255u);
    const parsed read = parse(kaf_file(false, {fits, over}));
    split_result result;
    split(read.animation, 1, result, folder);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.unwritten, std::vector<int32_t>{1});
    EXPECT_EQ(result.paths(), std::vector<std::string>{folder + fits.name});
    EXPECT_EQ(result.found.findings,
              (std::vector<finding>{{kgf_status::path_too_long, "over1.kgf"}}));
}

TEST(kaf_split, names_that_leave_the_folder_are_refused) {
    std::vector<frame_spec> frames;
    const char* const refused[] = {
        "../escape.kgf", "sub/x.kgf", "sub\\y.kgf", "c:z.kgf", "", ".", ".."};
    for (const char* name : refused)
        frames.push_back({name, 1, 1, 1, {{0, 1}}});
    frames.push_back({"fine.kgf", 1, 1, 1, {{0, 1}}});
    const split_of_file result(kaf_file(false, frames), 1);
    EXPECT_EQ(result.failed, 7);
    EXPECT_EQ(result.unwritten, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(result.paths(), std::vector<std::string>{"out/fine.kgf"});
    std::vector<finding> expected;
    for (const char* name : refused)
        expected.push_back({kgf_status::bad_frame_name, name});
    EXPECT_EQ(result.found.findings, expected);
}

// Damaged and hostile files: never a read or write outside a block.
TEST(kaf_split, hostile_files_never_break_out) {
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
        // Each file from a block of its own, so that the address checker
        // sees a read past its end.
        const bytes content(files[i].begin(), files[i].end());
        const parsed read = parse(content);
        if (read.status != kgf_status::ok)
            continue;
        int64_t total = 0;
        for (int32_t size : read.animation.frame_sizes)
            total += size;
        EXPECT_LE(total, static_cast<int64_t>(read.animation.frame_data.size()));
        for (int levels : {1, 5}) {
            split_result result;
            split(read.animation, levels, result);
            EXPECT_EQ(result.status == kgf_status::ok, result.unwritten.empty());
            EXPECT_LE(result.journal.entries.size() + result.unwritten.size(),
                      static_cast<size_t>(read.animation.frame_count));
        }
    }
    EXPECT_NE(parse(files[0]).status, kgf_status::ok);
}

} // namespace

// A frame's first level decodes whole, or says that its runs end early at
// every cut before the last run, keeping what came before the cut.
TEST(kaf_decode, a_frame_cut_anywhere_in_its_runs_is_missing_data) {
    const frame_spec a{"a.kgf", 1, 2, 2, {{0, 1}, {3, 2}}};
    const parsed read = parse(kaf_file(false, {a}));
    ASSERT_EQ(read.status, kgf_status::ok);
    struct kaf_frame frame;
    ASSERT_TRUE(locate_kaf_frame(read.animation.frame_data, 0, frame));
    for (int64_t end = frame.runs; end <= frame.end; ++end) {
        image_buffer image;
        const kgf_status status =
            decode_kaf_frame(read.animation.frame_data, frame, end, image, row_order::top_first);
        EXPECT_EQ(status, end == frame.end ? kgf_status::ok : kgf_status::missing_data) << end;
        EXPECT_EQ(image.data.size(), 8u) << end;
    }
}
