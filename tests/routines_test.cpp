// The dialog program's routines over real files: the paths they open, the
// preview's description of a file and the messages they show. What the formats decode and encode is
// tested over memory beside each format.
#include "formats/kgf.h"
#include "formats/png.h"
#include "formats/tga.h"
#include "platform/message.h"
#include "routines/conversion.h"
#include "routines/image_info.h"
#include "routines/preview_read.h"
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

// ---- the conversion routines on what is not a picture ----------------

#ifndef _WIN32
// A folder, a device and a pipe are refused before they are read, so that
// nothing blocks or reads for ever.
TEST_F(routines, inputs_that_are_not_files_are_refused_by_name) {
    scratch_folder output;
    char out[path_bytes];
    std::snprintf(out, sizeof out, "%s", output.folder_text().c_str());
    const std::string pipe = folder.file("pipe.kgf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {folder.path, std::string("/dev/zero"), pipe}) {
        for (const auto routine : {convert_kgf_to_tga, convert_tga_to_kgf}) {
            recorder.clear();
            char name[path_bytes];
            std::snprintf(name, sizeof name, "%s", path.c_str());
            EXPECT_EQ(routine(out, name), 0);
            EXPECT_EQ(recorder.texts(), std::vector<std::string>{path + ": Not a regular file!"});
        }
    }
    EXPECT_TRUE(list_folder(output.path).empty());
}
#endif

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
    const bytes odd_kgf = kgf_file(1, 1, 1, 1, {0, 5, 0, 0, 0, 0, 0, 0, 1}, 0x1234);
    const std::vector<std::string> odd_warnings = {"%s: Bad filler!", "%s: Bad field value!"};
    const bytes anim = kaf_file({"a.kgf", "b.kgf"}, 3, 4, 1);
    // What a file that does not read describes, and what each cut file shows.
    const char* const nothing = "||0|0|0";
    const std::string cut = "%s\n" + std::string(missing_data);
    const std::string png_cut = "%s: The PNG file is cut short!";
    const std::string frame_cut = "%s\nFrame a.kgf is missing some data; do not use";
    const struct {
        const char* name;
        file_type type;
        bytes content;
        int ok;
        const char* info;
        std::vector<std::string> messages; // "%s" stands for the path
    } cases[] = {
        {"five.kgf", file_type::kgf, kgf_file(5, 2, 2, 6), 1, "KGF|2x2|16|5|1", {}},
        {"w.kgf", file_type::kgf, odd_kgf, 1, "KGF|1x1|16|1|1", odd_warnings},
        {"cut.kgf", file_type::kgf, kgf_file(1, 2, 2, 3), 0, nothing, {cut}},
        {"a.tga", file_type::tga, tga, 1, "TGA|1x2|24|1|1", {}},
        {"cut.tga", file_type::tga, bytes(tga.begin(), tga.begin() + 20), 0, nothing, {cut}},
        {"p.png", file_type::png, png, 1, "PNG|3x1|32|1|1", {}},
        {"cut.png", file_type::png, bytes(png.begin(), png.begin() + 30), 0, nothing, {png_cut}},
        {"anim.kaf", file_type::kaf, anim, 1, "KAF|2x2|16|3|2|differ", {}},
        {"cut.kaf", file_type::kaf, cut_kaf, 0, nothing, {frame_cut}},
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
