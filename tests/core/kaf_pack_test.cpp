#include "formats/kaf_pack.h"
#include "formats/mip.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

// A frame record of the picture with the given levels, as a KGF of it
// holds them (the same layout for sides of powers of two), behind lead
// bytes that are no KGF's.
bytes frame_record(const std::string& name, const image_buffer& picture, int levels) {
    bytes record = kgf_file_bytes(name, picture, levels);
    record[0] = 0xAB;
    record[1] = static_cast<uint8_t>(levels);
    record[2] = 0xEF;
    return record;
}

// An animation of three frames, the middle one of five levels, in either
// header form with bytes of unknown meaning that are not zero.
bytes original_animation(bool short_form) {
    bytes out = short_form ? bytes{127, 0x55, 3, 0x66, 0x77, 0x88, 0x99}
                           : bytes{3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const int levels[] = {1, 5, 1};
    for (int i = 0; i < 3; ++i) {
        const bytes record = frame_record("run" + std::to_string(i + 1) + ".kgf",
                                          pattern_image(16, 8 << i % 2, 16, 10 + i), levels[i]);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

kaf_original decode_original(const bytes& file) {
    kaf_original original;
    EXPECT_EQ(decode_kaf_original(file.data(), file.size(), original), kgf_status::ok);
    return original;
}

// The frames as the splitter writes them with the given level count, read
// back as frames to pack.
std::vector<pack_frame> split_and_read(const kaf_original& original, int levels) {
    output_journal journal;
    EXPECT_EQ(
        split_frames(original.animation, "out/", levels, kgf_quality::none, &journal, nullptr, {})
            .status,
        kgf_status::ok);
    std::vector<pack_frame> frames;
    for (const journal_entry& entry : journal.entries) {
        pack_frame frame;
        frame.file = entry.path;
        frame.name = entry.path.substr(4);
        byte_reader reader = memory_reader(entry.bytes.data(), entry.bytes.size());
        kgf_reading reading;
        EXPECT_EQ(
            decode_frame_picture(reader, frame_format::kgf, kgf_quality::none, frame, reading),
            kgf_status::ok);
        frames.push_back(std::move(frame));
    }
    return frames;
}

pack_frame frame_of(const std::string& name, const image_buffer& picture) {
    pack_frame frame;
    frame.name = name;
    frame.file = "frames/" + name;
    frame.picture = picture;
    return frame;
}

// The stored records of an animation, in order.
std::vector<bytes> records_of(const bytes& file) {
    kaf_original original = decode_original(file);
    std::vector<bytes> records;
    for_each_kaf_frame(
        original.animation, [&](int32_t, const struct kaf_frame& frame, const char*) {
            const bytes& data = original.animation.frame_data;
            records.emplace_back(data.begin() + frame.start, data.begin() + frame.end);
        });
    return records;
}

TEST(kaf_pack, split_and_pack_with_the_original_gives_it_back) {
    for (const bool short_form : {false, true})
        for (const int levels : {1, 5}) {
            SCOPED_TRACE(testing::Message() << "short " << short_form << ", levels " << levels);
            const bytes file = original_animation(short_form);
            const kaf_original original = decode_original(file);
            bytes out;
            const pack_result result =
                pack_kaf(split_and_read(original, levels), &original, pack_options{}, out);
            EXPECT_EQ(result.status, kgf_status::ok);
            EXPECT_EQ(out, file);
            EXPECT_EQ(result.summary.copied, 3);
        }
}

TEST(kaf_pack, an_edited_frame_changes_its_record_alone) {
    const bytes file = original_animation(false);
    const kaf_original original = decode_original(file);
    std::vector<pack_frame> frames = split_and_read(original, 1);
    frames[1].picture.data[6] ^= 0x1F;
    bytes out;
    const pack_result result = pack_kaf(frames, &original, pack_options{}, out);
    ASSERT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(result.summary.encoded, 1);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 17, out.begin()));
    const std::vector<bytes> before = records_of(file);
    const std::vector<bytes> after = records_of(out);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2], before[2]);
    // Its own five levels, its lead bytes and its name stay.
    EXPECT_NE(after[1], before[1]);
    EXPECT_TRUE(std::equal(before[1].begin(), before[1].begin() + 13, after[1].begin()));
    const std::vector<pack_frame> back = split_and_read(decode_original(out), 1);
    EXPECT_EQ(back[1].picture.data, frames[1].picture.data);
}

TEST(kaf_pack, without_an_original_frames_of_any_size_split_back) {
    const int sides[][2] = {{3, 5}, {128, 1}, {1, 1}, {7, 128}, {32, 32}, {13, 7}, {40, 24}};
    for (const auto& side : sides)
        for (const int levels : {1, 5}) {
            SCOPED_TRACE(testing::Message() << side[0] << "x" << side[1] << ", " << levels);
            const std::vector<pack_frame> frames = {
                frame_of("f0.kgf", pattern_image(side[0], side[1], 16, 30)),
                frame_of("f1.kgf", pattern_image(side[0], side[1], 16, 31))};
            pack_options options;
            options.levels = levels;
            bytes out;
            ASSERT_EQ(pack_kaf(frames, nullptr, options, out).status, kgf_status::ok);
            const bytes header = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
            EXPECT_TRUE(std::equal(header.begin(), header.end(), out.begin()));
            EXPECT_EQ(out[17 + 2], 0x7A);
            // Every frame ends where the walker says, the last one at the end.
            int64_t end = 0;
            const kaf_original back = decode_original(out);
            for_each_kaf_frame(back.animation, [&](int32_t, const struct kaf_frame& frame,
                                                   const char*) { end = frame.end; });
            EXPECT_EQ(end + 17, static_cast<int64_t>(out.size()));
            const std::vector<pack_frame> split = split_and_read(back, levels);
            ASSERT_EQ(split.size(), frames.size());
            for (size_t i = 0; i < split.size(); ++i) {
                EXPECT_EQ(split[i].name, frames[i].name);
                EXPECT_EQ(split[i].picture.data, frames[i].picture.data) << i;
            }
        }
}

TEST(kaf_pack, a_frame_of_another_size_is_refused_with_both_sizes) {
    const std::vector<pack_frame> frames = {frame_of("a.kgf", pattern_image(12, 6, 16, 1)),
                                            frame_of("b.kgf", pattern_image(13, 7, 16, 2))};
    bytes out;
    const pack_result result = pack_kaf(frames, nullptr, pack_options{}, out);
    EXPECT_EQ(result.status, kgf_status::frame_size_differs);
    EXPECT_EQ(result.subject, "frames/b.kgf");
    EXPECT_EQ(status_message(result.status, result.shown.c_str()),
              "frames/b.kgf: 13x7, the first frame 12x6; the frames of an animation are all "
              "one size");
    EXPECT_TRUE(out.empty());
}

TEST(kaf_pack, one_hundred_and_twenty_seven_frames_take_the_short_form) {
    std::vector<pack_frame> frames;
    for (int i = 0; i < 127; ++i)
        frames.push_back(frame_of(std::to_string(i) + ".kgf", pattern_image(1, 1, 16, i)));
    bytes out;
    ASSERT_EQ(pack_kaf(frames, nullptr, pack_options{}, out).status, kgf_status::ok);
    EXPECT_EQ(bytes(out.begin(), out.begin() + 10), (bytes{127, 0, 127, 0, 0, 0, 0, 0, 0, 0x7A}));
    EXPECT_EQ(decode_original(out).animation.frame_count, 127);
}

TEST(kaf_pack, frames_not_given_keep_their_place) {
    const bytes file = original_animation(false);
    const kaf_original original = decode_original(file);
    const std::vector<pack_frame> split = split_and_read(original, 1);
    const pack_frame added = frame_of("new.kgf", pattern_image(4, 4, 16, 99));
    struct order_case {
        std::vector<pack_frame> given;
        int kept;
        std::vector<std::string> names;
    } cases[] = {
        {{split[1]}, 2, {"run1.kgf", "run2.kgf", "run3.kgf"}},
        {{split[2], split[0]}, 1, {"run3.kgf", "run1.kgf", "run2.kgf"}},
        {{added}, 3, {"run1.kgf", "run2.kgf", "run3.kgf", "new.kgf"}},
        {{added, split[1]}, 2, {"run1.kgf", "new.kgf", "run2.kgf", "run3.kgf"}},
    };
    for (const order_case& c : cases) {
        bytes out;
        const pack_result result = pack_kaf(c.given, &original, pack_options{}, out);
        ASSERT_EQ(result.status, kgf_status::ok);
        EXPECT_EQ(result.summary.kept, c.kept);
        std::vector<std::string> names;
        const kaf_original back = decode_original(out);
        for_each_kaf_frame(back.animation, [&](int32_t, const struct kaf_frame&, const char* name) {
            names.push_back(name);
        });
        EXPECT_EQ(names, c.names);
    }
    // A new frame borrows the lead bytes of the original's frame at its place.
    bytes out;
    pack_kaf({added, split[1]}, &original, pack_options{}, out);
    EXPECT_EQ(records_of(out)[1][0], 0xAB);
}

TEST(kaf_pack, an_original_cut_short_is_refused_by_its_frame) {
    bytes file = original_animation(false);
    file.resize(file.size() - 6); // the last frame loses two runs
    kaf_original original;
    EXPECT_EQ(decode_kaf_original(file.data(), file.size(), original),
              kgf_status::frame_missing_data);
    EXPECT_FALSE(original.animation.short_frame.empty());
}

TEST(kaf_pack, refusals_name_the_frame_and_write_nothing) {
    const image_buffer small = pattern_image(4, 4, 16, 1);
    const std::string too_long = std::string(33, 'n') + ".kgf";
    const auto bad_size = kgf_status::bad_frame_size, bad_name = kgf_status::bad_frame_name,
               taken = kgf_status::frame_name_taken;
    struct refusal_case {
        std::vector<pack_frame> frames;
        kgf_status status;
        std::string subject;
    } cases[] = {
        {{}, kgf_status::bad_frame_count, ""},
        {{frame_of("a.kgf", pattern_image(129, 2, 16, 1))}, bad_size, "frames/a.kgf"},
        {{frame_of("a.kgf", pattern_image(2, 129, 16, 1))}, bad_size, "frames/a.kgf"},
        {{frame_of("a.kgf", image_buffer{})}, bad_size, "frames/a.kgf"},
        {{frame_of(too_long, small)}, kgf_status::frame_name_too_long, "frames/" + too_long},
        {{frame_of("..", small)}, bad_name, "frames/.."},
        {{frame_of("a\\b.kgf", small)}, bad_name, "frames/a\\b.kgf"},
        // Control characters are refused as a separator is.
        {{frame_of("a\x1b[2J.kgf", small)}, bad_name, "frames/a\x1b[2J.kgf"},
        {{frame_of("a\nb.kgf", small)}, bad_name, "frames/a\nb.kgf"},
        {std::vector<pack_frame>(256, frame_of("x.kgf", small)), kgf_status::bad_frame_count, ""},
        {{frame_of("a.kgf", small), frame_of("A.KGF", small)}, taken, "frames/A.KGF"},
    };
    for (const refusal_case& c : cases) {
        bytes out = {1, 2, 3};
        const pack_result result = pack_kaf(c.frames, nullptr, pack_options{}, out);
        SCOPED_TRACE(c.subject + ", " + std::to_string(c.frames.size()) + " frames");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.subject, c.subject);
        EXPECT_TRUE(out.empty());
    }
    // 35 characters fit a frame's slot.
    bytes out;
    EXPECT_EQ(
        pack_kaf({frame_of(std::string(31, 'n') + ".kgf", small)}, nullptr, pack_options{}, out)
            .status,
        kgf_status::ok);
}

TEST(kaf_pack, a_tga_larger_than_a_frame_is_refused_before_its_pixels) {
    // A header of 200 x 1 at 24 bits and no pixels at all.
    bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200, 0, 1, 0, 24, 0};
    byte_reader reader = memory_reader(tga.data(), tga.size());
    pack_frame picture;
    kgf_reading reading;
    EXPECT_EQ(decode_frame_picture(reader, frame_format::tga, kgf_quality::none, picture, reading),
              kgf_status::bad_frame_size);
}

// Stored names and the files a split writes for them: every file ends in
// its type's ending, and a pack of either file finds the frame again.
TEST(kaf_pack, stored_names_and_the_files_of_their_split) {
    struct name_case {
        const char* stored;
        const char* kgf_file;
        const char* tga_file;
    } cases[] = {
        {"flame1.kgf", "flame1.kgf", "flame1.tga"},
        {"WALK1.KGF", "WALK1.KGF", "WALK1.tga"},
        {"flame1.tga", "flame1.tga.kgf", "flame1.tga.tga"},
        {"flame1kgfx", "flame1kgfx.kgf", "flame1kgfx.tga"},
        {"flame1kgf", "flame1kgf.kgf", "flame1kgf.tga"},
        {"frame", "frame.kgf", "frame.tga"},
        {"..........", "...........kgf", "...........tga"},
        {".~kgf999999-1.tmp", ".~kgf999999-1.tmp.kgf", ".~kgf999999-1.tmp.tga"},
        {"a.kaf", "a.kaf.kgf", "a.kaf.tga"},
    };
    for (const name_case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(frame_file_name(c.stored, "kgf"), c.kgf_file);
        EXPECT_EQ(frame_file_name(c.stored, "tga"), c.tga_file);
        EXPECT_TRUE(names_same_frame(frame_name_of_file(c.kgf_file, frame_format::kgf), c.stored));
        EXPECT_TRUE(names_same_frame(frame_name_of_file(c.tga_file, frame_format::tga), c.stored));
    }
    EXPECT_EQ(frame_name_of_file("walk1.tga", frame_format::tga), "walk1.kgf");
    EXPECT_EQ(frame_name_of_file("walk1", frame_format::tga), "walk1.kgf");
    EXPECT_EQ(frame_name_of_file("WALK1.KGF", frame_format::kgf), "WALK1.KGF");
    EXPECT_TRUE(names_same_frame("WALK1.kgf", "WALK1.KGF"));
    EXPECT_FALSE(names_same_frame("walk1.kgf", "WALK1.kgf"));
    EXPECT_FALSE(names_same_frame("frame.tga", "frame"));
}

// An animation of two frames of one size, 8 x 8, with transparent pixels.
bytes uniform_animation() {
    bytes out(17, 0);
    out[0] = 2;
    for (const char* name : {"a.kgf", "b.kgf"}) {
        const bytes record = frame_record(name, pattern_image(8, 8, 16, name[0]), 1);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

} // namespace

TEST(kaf_pack, like_an_original_of_one_size_a_frame_of_another_is_refused) {
    const kaf_original original = decode_original(uniform_animation());
    bytes out;
    const pack_result result =
        pack_kaf({frame_of("a.kgf", pattern_image(4, 4, 16, 2))}, &original, pack_options{}, out);
    EXPECT_EQ(result.status, kgf_status::frame_size_differs);
    EXPECT_EQ(result.shown, "frames/a.kgf: 4x4, the original's frames 8x8");
    EXPECT_TRUE(out.empty());
}

TEST(kaf_pack, a_file_without_alpha_is_compared_by_its_colours) {
    const bytes file = uniform_animation();
    const kaf_original original = decode_original(file);
    // As a 24-bit split reads back: the colours, every pixel opaque.
    image_buffer opaque = pattern_image(8, 8, 16, 'a');
    for (size_t i = 1; i < opaque.data.size(); i += 2)
        opaque.data[i] |= 0x80;
    pack_frame unchanged = frame_of("a.kgf", opaque);
    unchanged.carries_alpha = false;
    bytes out;
    pack_result result = pack_kaf({unchanged}, &original, pack_options{}, out);
    EXPECT_EQ(result.summary.copied, 1);
    EXPECT_TRUE(result.made_opaque.empty());
    EXPECT_EQ(out, file);

    // Edited, it is packed opaque, and said so.
    pack_frame edited = unchanged;
    edited.picture.data[0] ^= 1;
    result = pack_kaf({edited}, &original, pack_options{}, out);
    EXPECT_EQ(result.status, kgf_status::ok);
    EXPECT_EQ(result.summary.encoded, 1);
    EXPECT_EQ(result.made_opaque, std::vector<std::string>{"frames/a.kgf"});

    // With alpha, the same opaque pixels are an edit of their own.
    unchanged.carries_alpha = true;
    result = pack_kaf({unchanged}, &original, pack_options{}, out);
    EXPECT_EQ(result.summary.encoded, 1);
    EXPECT_TRUE(result.made_opaque.empty());
}
