// The dialog program's reading and splitting routines over real files: the
// paths they open, the stored settings they read, the preview's description
// of a file and the messages they show. What the formats decode and encode is
// tested over memory beside each format.
#include "formats/kgf.h"
#include "formats/png.h"
#include "formats/tga.h"
#include "platform/message.h"
#include "routines/image_info.h"
#include "routines/kaf_file.h"
#include "routines/kgf_file.h"
#include "routines/preview_read.h"
#include "routines/tga_file.h"
#include "settings/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

const char missing_data[] = "File is missing some data; do not use";

// Every routine reads and fills the process-wide records: each test starts
// from the defaults, with a scratch folder and every message recorded.
class routines : public ::testing::Test {
  protected:
    void SetUp() override { reset_routines_state(); }

    std::string write(const std::string& name, const bytes& content) {
        const std::string path = folder.file(name);
        write_file_bytes(path, content);
        return path;
    }

    scratch_folder folder;
    message_recorder recorder;
};

// A one-level-or-more KGF of single-pixel runs, pixel values 0x100 + i.
bytes kgf_file(int mip_count, int width, int height, int runs, bytes filler = bytes(9, 0),
               unsigned field = 0x2820) {
    bytes file = {0x00, 0x00, 0x7A};
    put_text(file, "k");
    file.push_back(static_cast<uint8_t>(mip_count));
    file.insert(file.end(), filler.begin(), filler.end());
    put_u16(file, static_cast<uint16_t>(width));
    put_u16(file, static_cast<uint16_t>(height));
    put_u16(file, field);
    for (int i = 0; i < runs; ++i) {
        file.push_back(0);
        put_u16(file, static_cast<unsigned>(0x100 + i));
    }
    return file;
}

image_buffer fresh(int bpp) {
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    return image;
}

// ---- read_kgf ------------------------------------------------------------

// The file's levels are read only when the caller asks for them and the
// stored "mipmaps" setting is on.
TEST_F(routines, read_kgf_takes_the_levels_from_its_flags_and_the_mipmaps_setting) {
    const std::string path = write("five.kgf", kgf_file(5, 2, 2, 4 + 1 + 1));
    const struct {
        int use_file_mipmaps, for_display, mipmaps;
        int num_mipmaps;
        unsigned first_pixel;
    } cases[] = {
        {all_levels, for_conversion, 1, 5, 0x100},
        {all_levels, for_conversion, 0, 1, 0x100},
        {first_level_only, for_conversion, 1, 1, 0x100},
        {all_levels, for_preview, 1, 5, 0x102}, // the bottom row first
        {first_level_only, for_preview, 0, 1, 0x102},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.use_file_mipmaps << c.for_display << c.mipmaps);
        reset_routines_state();
        settings.mipmaps = static_cast<uint8_t>(c.mipmaps);
        image_buffer image = fresh(16);
        ASSERT_EQ(read_kgf(path.c_str(), image, c.use_file_mipmaps, c.for_display), 1);
        EXPECT_EQ(image.num_mipmaps, c.num_mipmaps);
        EXPECT_EQ(static_cast<unsigned>(image.data[0] | image.data[1] << 8), c.first_pixel);
    }
    EXPECT_TRUE(recorder.messages().empty());
}

// Warnings and failures are shown one message each, naming the file.
TEST_F(routines, read_kgf_shows_what_the_file_gave) {
    const std::string warned =
        write("w.kgf", kgf_file(1, 1, 1, 1, {0, 5, 0, 0, 0, 0, 0, 0, 1}, 0x1234));
    image_buffer image = fresh(16);
    EXPECT_EQ(read_kgf(warned.c_str(), image, all_levels, for_conversion), 1);
    EXPECT_EQ(recorder.texts(),
              (std::vector<std::string>{warned + ": Bad filler!", warned + ": Bad field value!"}));
    for (const recorded_message& m : recorder.messages()) {
        EXPECT_EQ(m.caption, "Error");
        EXPECT_EQ(m.style, message_ok | message_icon_error);
    }

    recorder.clear();
    const std::string negative = write("neg.kgf", kgf_file(1, -1, 4, 1));
    EXPECT_EQ(read_kgf(negative.c_str(), image, all_levels, for_conversion), 0);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{negative + ": Bad image size!"});

    recorder.clear();
    const std::string cut = write("cut.kgf", kgf_file(1, 2, 2, 3));
    EXPECT_EQ(read_kgf(cut.c_str(), image, all_levels, for_conversion), 0);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{cut + "\n" + missing_data});
}

TEST_F(routines, read_kgf_of_a_missing_file_fails_silently) {
    image_buffer image = fresh(16);
    EXPECT_EQ(read_kgf(folder.file("none.kgf").c_str(), image, all_levels, for_conversion), 0);
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_TRUE(image.data.empty());
}

#ifndef _WIN32
// A folder, a device and a pipe are refused before they are read, so that
// nothing blocks or reads for ever.
TEST_F(routines, inputs_that_are_not_files_are_refused_by_name) {
    const std::string pipe = folder.file("pipe.kgf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {folder.path, std::string("/dev/zero"), pipe}) {
        recorder.clear();
        image_buffer image = fresh(16);
        EXPECT_EQ(read_kgf(path.c_str(), image, all_levels, for_conversion), 0);
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{path + ": Not a regular file!"});
        recorder.clear();
        EXPECT_EQ(read_tga(path.c_str(), image, top_row_first), 0);
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{path + ": Not a regular file!"});
    }
}
#endif

// ---- read_tga ----------------------------------------------------------

// The flag picks the row order.
TEST_F(routines, read_tga_reads_in_the_order_asked) {
    bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, 0};
    file.insert(file.end(), {1, 1, 1, 2, 2, 2}); // the bottom row, then the top
    const std::string path = write("a.tga", file);
    image_buffer image = fresh(32);
    ASSERT_EQ(read_tga(path.c_str(), image, top_row_first), 1);
    EXPECT_EQ(image.data, (bytes{2, 2, 2, 1, 1, 1}));
    init_image_buffer(image, 32);
    ASSERT_EQ(read_tga(path.c_str(), image, bottom_row_first), 1);
    EXPECT_EQ(image.data, (bytes{1, 1, 1, 2, 2, 2}));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(routines, read_tga_of_a_missing_file_fails_silently) {
    image_buffer image = fresh(32);
    EXPECT_EQ(read_tga(folder.file("none.tga").c_str(), image, top_row_first), 0);
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_TRUE(image.data.empty());
}

// A refused file gives one message naming it, in either row order.
TEST_F(routines, read_tga_shows_why_a_file_is_refused) {
    const struct {
        const char* file;
        const char* message; // %s stands for the path
    } cases[] = {
        {"cut-header.tga", "%s\nFile is missing some data; do not use"},
        {"negative-width.tga", "%s: Bad image size!"},
        {"type-32-huffman.tga", "%s: Unsupported TGA type!"},
        {"index-past-map.tga", "%s: Bad colour map index!"},
        {"rle-ends-early.tga", "%s: Bad run-length data!"},
    };
    for (const auto& c : cases) {
        const std::string path = std::string(KGF_TGA_CORPUS) + "/" + c.file;
        std::string expected = c.message;
        if (const size_t at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, path);
        for (int as_stored : {top_row_first, bottom_row_first}) {
            recorder.clear();
            image_buffer image = fresh(32);
            EXPECT_EQ(read_tga(path.c_str(), image, as_stored), 0) << c.file;
            ASSERT_EQ(recorder.messages().size(), 1u) << c.file;
            EXPECT_EQ(recorder.messages()[0].text, expected);
            EXPECT_EQ(recorder.messages()[0].caption, "Error");
        }
    }
}

// ---- parse_kaf and split_kaf ---------------------------------------------

// A KAF of one-level frames, 2 x 2 each but the last, which is w x h.
bytes kaf_file(const std::vector<std::string>& names, int mip_count = 1, int width = 2,
               int height = 2) {
    bytes file = {static_cast<uint8_t>(names.size())};
    file.resize(17, 0);
    for (size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        file.insert(file.end(), {0xAB, 0xCD, 0xEF});
        put_text(file, names[i]);
        file.push_back(static_cast<uint8_t>(last ? mip_count : 1));
        file.insert(file.end(), 9, 0);
        put_u16(file, static_cast<unsigned>(last ? width : 2));
        put_u16(file, static_cast<unsigned>(last ? height : 2));
        put_u16(file, 0x2820);
        // One run over every pixel of the frame's levels.
        int pixels = 0;
        for (int level = 0, each = width * height; last && level < mip_count; ++level, each /= 4)
            pixels += each;
        file.insert(file.end(),
                    {static_cast<uint8_t>(last ? pixels : 4), static_cast<uint8_t>(i), 0x80});
    }
    return file;
}

struct split_result {
    int ok = -1;
    std::vector<char> frame_names;
    int32_t frame_count = -1;
    std::vector<int32_t> unwritten;
};

split_result split(const std::string& out, const std::string& path) {
    split_result result;
    result.ok = split_kaf(out.c_str(), path.c_str(), result.frame_names, result.frame_count,
                          &result.unwritten);
    return result;
}

// The frames come out in the caller's buffers; the picture takes the first
// frame's size.
TEST_F(routines, parse_kaf_hands_out_the_frames_and_the_first_size) {
    const bytes content = kaf_file({"a.kgf", "b.kgf"}, 3, 4, 1);
    const std::string path = write("anim.kaf", content);
    image_buffer image = fresh(16);
    image.num_mipmaps = 5;
    std::vector<uint8_t> frame_data = {9};
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = -1;
    int64_t frame_data_size = -1;
    ASSERT_EQ(parse_kaf(path.c_str(), &image, frame_data, frame_sizes, frame_names, frame_count,
                        frame_data_size),
              1);
    EXPECT_EQ(frame_count, 2);
    EXPECT_EQ(frame_data, bytes(content.begin() + 17, content.end()));
    EXPECT_EQ(frame_data_size, static_cast<int64_t>(content.size()) - 17);
    EXPECT_EQ(frame_sizes, (std::vector<int32_t>{3 + 6 + 16 + 3, 3 + 6 + 16 + 3}));
    EXPECT_EQ(frame_names.size(), 2u * 36);
    EXPECT_STREQ(frame_names.data() + 6, "b.kgf");
    // The first frame is 2 x 2, the last 4 x 1 with three levels.
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.num_mipmaps, 5);
    EXPECT_EQ(image.bpp, 16);
    EXPECT_TRUE(image.data.empty());
    EXPECT_TRUE(recorder.messages().empty());
}

// A file that does not parse is shown, by the frame cut short when its name
// was read, and a split of it ends there.
TEST_F(routines, incomplete_kaf_files_are_shown_and_nothing_is_written) {
    bytes cut = kaf_file({"a.kgf"});
    cut.pop_back();
    for (const bytes& content : {cut, bytes{}, bytes{127, 0, 3, 0}}) {
        SCOPED_TRACE(content.size());
        const std::string refusal =
            content == cut ? "Frame a.kgf is missing some data; do not use" : missing_data;
        const std::string path = write("cut.kaf", content);
        recorder.clear();
        std::vector<uint8_t> frame_data;
        std::vector<int32_t> frame_sizes;
        std::vector<char> frame_names;
        int32_t frame_count = -1;
        int64_t frame_data_size = -1;
        EXPECT_EQ(parse_kaf(path.c_str(), nullptr, frame_data, frame_sizes, frame_names,
                            frame_count, frame_data_size),
                  0);
        ASSERT_EQ(recorder.messages().size(), 1u);
        EXPECT_EQ(recorder.messages()[0].text, path + "\n" + refusal);
        EXPECT_EQ(recorder.messages()[0].caption, "Error");
        EXPECT_EQ(recorder.messages()[0].style, message_ok | message_icon_error);

        recorder.clear();
        scratch_folder output;
        const split_result result = split(output.folder_text(), path);
        EXPECT_EQ(result.ok, 0);
        EXPECT_TRUE(result.frame_names.empty());
        EXPECT_EQ(result.frame_count, 0);
        ASSERT_EQ(recorder.messages().size(), 2u);
        EXPECT_EQ(recorder.messages()[0].text, path + "\n" + refusal);
        EXPECT_EQ(recorder.messages()[1].text, "Conversion terminated.");
        EXPECT_EQ(recorder.messages()[1].caption, "Status");
        EXPECT_EQ(recorder.messages()[1].style, message_ok);
        EXPECT_TRUE(list_folder(output.path).empty());
    }
}

TEST_F(routines, kaf_file_that_cannot_be_opened) {
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = -1;
    int64_t frame_data_size = -1;
    EXPECT_EQ(parse_kaf(folder.file("absent.kaf").c_str(), nullptr, frame_data, frame_sizes,
                        frame_names, frame_count, frame_data_size),
              0);
    EXPECT_TRUE(frame_data.empty());
    EXPECT_TRUE(frame_names.empty());
    EXPECT_TRUE(recorder.messages().empty());
    scratch_folder output;
    EXPECT_EQ(split(output.folder_text(), folder.file("absent.kaf")).ok, 0);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"Conversion terminated."});
}

// The frames get the stored level count.
TEST_F(routines, split_kaf_writes_the_stored_number_of_levels) {
    const std::string path = write("anim.kaf", kaf_file({"a.kgf", "b.kgf"}));
    for (const int levels : {0, 1, 5}) {
        settings.num_mipmaps = static_cast<uint8_t>(levels);
        scratch_folder output;
        const split_result result = split(output.folder_text(), path);
        ASSERT_EQ(result.ok, 1);
        EXPECT_EQ(result.frame_count, 2);
        EXPECT_STREQ(result.frame_names.data() + 6, "b.kgf");
        EXPECT_TRUE(result.unwritten.empty());
        EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"a.kgf", "b.kgf"}));
        const bytes written = read_file_bytes(output.file("b.kgf"));
        ASSERT_GT(written.size(), 9u);
        EXPECT_EQ(written[9], levels); // the byte after "b.kgf"
    }
    EXPECT_TRUE(recorder.messages().empty());
}

// Every frame that is not written is shown by name, with the system's
// reason where it gave one, and the others are written.
TEST_F(routines, split_kaf_shows_each_frame_it_does_not_write) {
    const std::string name80 = std::string(60, 'L') + std::string(20, 'T');
    const std::string path =
        write("anim.kaf", kaf_file({"a.kgf", "../escape.kgf", name80, "b.kgf", "c.kgf"}));
    scratch_folder output;
    ASSERT_EQ(create_folder(output.file("b.kgf").c_str()), 1);
    const split_result result = split(output.folder_text(), path);
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.frame_count, 5);
    EXPECT_EQ(result.unwritten, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"a.kgf", "b.kgf", "c.kgf"}));
    const std::vector<std::string> texts = recorder.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Bad frame name: ../escape.kgf");
    EXPECT_EQ(texts[1], "Frame name longer than 35 characters: " + name80);
    EXPECT_EQ(without_reasons(texts)[2], "Cannot write " + output.file("b.kgf"));
    EXPECT_GT(texts[2].size(), without_reasons(texts)[2].size());

    // A folder that cannot exist, and one too long for the frame's path.
    recorder.clear();
    write_file_bytes(output.file("plain"), {1});
    const std::string blocked = output.file("plain") + "/sub/";
    EXPECT_EQ(split(blocked, write("one.kaf", kaf_file({"a.kgf"}))).ok, 0);
    EXPECT_EQ(without_reasons(recorder.texts()),
              std::vector<std::string>{"Cannot make the folder " + output.file("plain") +
                                       "/sub for " + blocked + "a.kgf"});
    recorder.clear();
    const std::string deep = output.folder_text() + std::string(250, 'd') + "/";
    EXPECT_EQ(split(deep, write("one.kaf", kaf_file({"a.kgf"}))).ok, 0);
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"Path is too long: a.kgf"});
}

// ---- read_for_preview --------------------------------------------------

std::string info_text(const image_info_record& info) {
    return std::string(info.type_name) + "|" + info.resolution + "|" +
           std::to_string(info.color_depth) + "|" + std::to_string(info.mip_levels) + "|" +
           std::to_string(info.frames) + (info.sizes_differ ? "|differ" : "");
}

// The preview's record is describe_image's, and the preview shows the
// failures and warnings the dialog's readers show; nothing reading does
// touches image_info, which the panel alone fills.
TEST_F(routines, read_for_preview_describes_the_file_and_shows_what_it_gave) {
    bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, 0, 1, 1, 1, 2, 2, 2};
    image_buffer picture = pattern_image(3, 1, 32, 7);
    bytes png;
    ASSERT_EQ(encode_png(png, picture, 0), kgf_status::ok);
    bytes cut_kaf = kaf_file({"a.kgf"});
    cut_kaf.pop_back();
    const struct {
        const char* name;
        file_type type;
        bytes content;
        int ok;
        const char* info;
        std::vector<std::string> messages; // "%s" stands for the path
    } cases[] = {
        {"five.kgf", file_type::kgf, kgf_file(5, 2, 2, 6), 1, "KGF|2x2|16|5|1", {}},
        {"w.kgf",
         file_type::kgf,
         kgf_file(1, 1, 1, 1, {0, 5, 0, 0, 0, 0, 0, 0, 1}, 0x1234),
         1,
         "KGF|1x1|16|1|1",
         {"%s: Bad filler!", "%s: Bad field value!"}},
        {"cut.kgf",
         file_type::kgf,
         kgf_file(1, 2, 2, 3),
         0,
         "||0|0|0",
         {"%s\n" + std::string(missing_data)}},
        {"a.tga", file_type::tga, tga, 1, "TGA|1x2|24|1|1", {}},
        {"cut.tga",
         file_type::tga,
         bytes(tga.begin(), tga.begin() + 20),
         0,
         "||0|0|0",
         {"%s\n" + std::string(missing_data)}},
        {"p.png", file_type::png, png, 1, "PNG|3x1|32|1|1", {}},
        {"cut.png",
         file_type::png,
         bytes(png.begin(), png.begin() + 30),
         0,
         "||0|0|0",
         {"%s: The PNG file is cut short!"}},
        {"anim.kaf",
         file_type::kaf,
         kaf_file({"a.kgf", "b.kgf"}, 3, 4, 1),
         1,
         "KAF|2x2|16|3|2|differ",
         {}},
        {"cut.kaf",
         file_type::kaf,
         cut_kaf,
         0,
         "||0|0|0",
         {"%s\nFrame a.kgf is missing some data; do not use"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.clear();
        const std::string path = write(c.name, c.content);
        file_description found;
        EXPECT_EQ(read_for_preview(path.c_str(), c.type, found), c.ok);
        EXPECT_EQ(info_text(found.info), c.info);
        std::vector<std::string> expected;
        for (std::string text : c.messages)
            expected.push_back(text.replace(text.find("%s"), 2, path));
        EXPECT_EQ(recorder.texts(), expected);
    }
    file_description found;
    EXPECT_EQ(read_for_preview(folder.file("none.tga").c_str(), file_type::tga, found), 0);
    EXPECT_EQ(info_text(image_info), "||0|0|0");
}

} // namespace
