#include "convert/convert.h"
#include "convert/output_names.h"
#include "formats/kgf.h"
#include "formats/tga.h"
#include "platform/files.h"
#include "platform/message.h"
#include "routines/conversion.h"
#include "routines/kgf_file.h"
#include "settings/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

class ConvertTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_core_state();
        std::snprintf(folder, sizeof folder, "%s", output.folder_text().c_str());
    }

    // A bare-name buffer as the selection holds it.
    char* name_of(const char* text) {
        std::snprintf(name, sizeof name, "%s", text);
        return name;
    }

    image_buffer read_kgf_back(const std::string& file, int levels) {
        settings.mipmaps = 1;
        image_buffer image;
        init_image_buffer(image, 16);
        EXPECT_EQ(read_kgf(output.file(file).c_str(), image, all_levels, for_conversion), 1)
            << file;
        EXPECT_EQ(image.num_mipmaps, levels) << file;
        return image;
    }

    scratch_folder input;
    scratch_folder output;
    current_folder_change in_input{input.path};
    message_recorder messages;
    char folder[path_bytes] = {};
    char name[path_bytes] = {};
};

// The bytes save_as_kgf must produce for a picture, built step by step.
std::vector<uint8_t> expected_kgf(const image_buffer& picture, const std::string& stored_name,
                                  int levels, const scratch_folder& scratch) {
    const std::string path = scratch.file("expected.kgf");
    write_kgf_file(path, stored_name, picture, levels);
    return read_file_bytes(path);
}

} // namespace

TEST_F(ConvertTest, TgaToKgfNamesTheOutputAndRenamesTheSelection) {
    for (const char* input_name : {"wall.tga", "wall.TGA"}) {
        const image_buffer picture = pattern_image(16, 8, 24, 1);
        write_tga_file(input.file(input_name), picture);
        EXPECT_EQ(convert_tga_to_kgf(folder, name_of(input_name)), 1);
        EXPECT_STREQ(name, "wall.kgf");

        image_buffer sixteen;
        init_image_buffer(sixteen, 16);
        sixteen.width = 16;
        sixteen.height = 8;
        allocate_image_data(sixteen, mip_chain_bytes(sixteen));
        convert_pixels(sixteen, picture);
        EXPECT_EQ(read_file_bytes(output.file("wall.kgf")),
                  expected_kgf(sixteen, "wall.kgf", 1, input));
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(ConvertTest, KgfOutputHasTheConfiguredLevels) {
    const image_buffer picture = pattern_image(32, 32, 16, 2);
    write_kgf_file(input.file("five.kgf"), "five.kgf", picture, 5);
    // Five levels read with the all-levels option off, written with one.
    settings.num_mipmaps = 1;
    EXPECT_EQ(convert_kgf_to_kgf(folder, name_of("five.kgf")), 1);
    read_kgf_back("five.kgf", 1);
    EXPECT_EQ(read_file_bytes(output.file("five.kgf")),
              expected_kgf(picture, "five.kgf", 1, input));

    // First level only, levels 2 to 5 built anew.
    settings.num_mipmaps = 5;
    settings.mipmaps = 0;
    EXPECT_EQ(convert_kgf_to_kgf(folder, name_of("five.kgf")), 1);
    EXPECT_EQ(read_file_bytes(output.file("five.kgf")),
              expected_kgf(picture, "five.kgf", 5, input));
}

TEST_F(ConvertTest, NameWithoutExtensionLosesItsLastThreeCharacters) {
    write_tga_file(input.file("texture"), pattern_image(4, 4, 32, 3));
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("texture")), 1);
    EXPECT_STREQ(name, "textkgf");
    EXPECT_TRUE(file_exists(output.file("textkgf")));
    EXPECT_EQ(convert_tga_to_tga(folder, name_of("texture")), 1);
    EXPECT_TRUE(file_exists(output.file("texttga")));
}

TEST_F(ConvertTest, ShortNamesGetAnExtension) {
    write_tga_file(input.file("ab"), pattern_image(2, 2, 24, 4));
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("ab")), 1);
    EXPECT_STREQ(name, "ab"); // the selection's text cannot grow
    EXPECT_TRUE(file_exists(output.file("ab.kgf")));
    EXPECT_EQ(convert_tga_to_tga(folder, name_of("ab")), 1);
    EXPECT_TRUE(file_exists(output.file("ab.tga")));
}

TEST_F(ConvertTest, NameLengthQuestion) {
    const std::string thirty_five = std::string(31, 'n') + ".tga";
    const std::string thirty_six = std::string(32, 'n') + ".tga";
    const image_buffer picture = pattern_image(4, 4, 24, 5);
    write_tga_file(input.file(thirty_five), picture);
    write_tga_file(input.file(thirty_six), picture);

    EXPECT_EQ(convert_tga_to_kgf(folder, name_of(thirty_five.c_str())), 1);
    EXPECT_TRUE(messages.messages().empty());

    messages.answer(answer_no);
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of(thirty_six.c_str())), 0);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text,
              "Filename exceeds 36 characters, and will not readable by Corvane 3. Are you sure "
              "you want to continue?");
    EXPECT_EQ(messages.messages()[0].caption, "Error");
    EXPECT_EQ(messages.messages()[0].style, message_yes_no);
    EXPECT_EQ(std::string(name), thirty_six);
    EXPECT_FALSE(file_exists(output.file(std::string(32, 'n') + ".kgf")));

    messages.answer(answer_yes);
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of(thirty_six.c_str())), 1);
    EXPECT_TRUE(file_exists(output.file(std::string(32, 'n') + ".kgf")));
}

TEST_F(ConvertTest, KgfToTgaWritesOneFilePerLevel) {
    write_kgf_file(input.file("wall.kgf"), "wall.kgf", pattern_image(4, 4, 16, 6), 5);
    settings.mipmaps = 1;
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("wall.kgf")), 1);
    EXPECT_EQ(list_folder(output.path),
              (std::vector<std::string>{"wall_MM1.tga", "wall_MM2.tga", "wall_MM3.tga",
                                        "wall_MM4.tga", "wall_MM5.tga"}));
    const size_t sizes[] = {18 + 48, 18 + 12, 18 + 3, 18, 18};
    for (int level = 1; level <= 5; ++level)
        EXPECT_EQ(read_file_bytes(output.file("wall_MM" + std::to_string(level) + ".tga")).size(),
                  sizes[level - 1])
            << level;

    // With the option off, the single file wall.tga.
    settings.mipmaps = 0;
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("wall.kgf")), 1);
    EXPECT_TRUE(file_exists(output.file("wall.tga")));
}

TEST_F(ConvertTest, LevelNamesKeepOneBase) {
    write_kgf_file(input.file("wall.kgf"), "wall.kgf", pattern_image(1024, 2, 16, 7), 10);
    settings.mipmaps = 1;
    std::snprintf(settings.suffix, sizeof settings.suffix, "%s", "ABCDEFGHI");
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("wall.kgf")), 1);
    const std::vector<std::string> files = list_folder(output.path);
    ASSERT_EQ(files.size(), 10u);
    EXPECT_TRUE(file_exists(output.file("wallABCDEFGHI1.tga")));
    EXPECT_TRUE(file_exists(output.file("wallABCDEFGHI10.tga")));

    settings.suffix[0] = '\0';
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("wall.kgf")), 1);
    EXPECT_TRUE(file_exists(output.file("wall1.tga")));
    EXPECT_TRUE(file_exists(output.file("wall10.tga")));
}

TEST_F(ConvertTest, KgfToTgaPixels) {
    const image_buffer picture = pattern_image(6, 3, 16, 8);
    write_kgf_file(input.file("p.kgf"), "p.kgf", picture, 1);
    for (int bpp : {24, 32}) {
        settings.bpp = static_cast<uint8_t>(bpp);
        EXPECT_EQ(convert_kgf_to_tga(folder, name_of("p.kgf")), 1);
        image_buffer expected;
        init_image_buffer(expected, static_cast<uint8_t>(bpp));
        expected.width = 6;
        expected.height = 3;
        allocate_image_data(expected, mip_chain_bytes(expected));
        convert_pixels(expected, picture);
        write_tga_file(input.file("expected.tga"), expected);
        EXPECT_EQ(read_file_bytes(output.file("p.tga")),
                  read_file_bytes(input.file("expected.tga")))
            << bpp;
    }
}

TEST_F(ConvertTest, StoredDepthOtherThanTwentyFourWritesThirtyTwo) {
    write_tga_file(input.file("d.tga"), pattern_image(2, 2, 24, 9));
    settings.bpp = 16;
    EXPECT_EQ(convert_tga_to_tga(folder, name_of("d.tga")), 1);
    const std::vector<uint8_t> bytes = read_file_bytes(output.file("d.tga"));
    ASSERT_EQ(bytes.size(), 18u + 16u);
    EXPECT_EQ(bytes[16], 32);
    EXPECT_EQ(bytes[17], 8);
}

TEST_F(ConvertTest, TgaToTgaIntoTheInputFolderReplacesTheInput) {
    const image_buffer picture = pattern_image(5, 3, 32, 10);
    write_tga_file(input.file("same.tga"), picture);
    std::snprintf(folder, sizeof folder, "%s", input.folder_text().c_str());
    settings.bpp = 24;
    EXPECT_EQ(convert_tga_to_tga(folder, name_of("same.tga")), 1);
    const std::vector<uint8_t> bytes = read_file_bytes(input.file("same.tga"));
    ASSERT_EQ(bytes.size(), 18u + 45u);
    EXPECT_EQ(bytes[16], 24);
    EXPECT_EQ(list_folder(input.path), std::vector<std::string>{"same.tga"});
}

TEST_F(ConvertTest, FolderGainsItsSeparator) {
    write_tga_file(input.file("w.tga"), pattern_image(2, 2, 24, 11));
    std::snprintf(folder, sizeof folder, "%s", output.path.c_str());
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 1);
    EXPECT_EQ(std::string(folder), output.folder_text());
    EXPECT_TRUE(file_exists(output.file("w.kgf")));

    std::snprintf(folder, sizeof folder, "%s", output.path.c_str());
    EXPECT_EQ(convert_tga_to_tga(folder, name_of("w.tga")), 1);
    EXPECT_EQ(std::string(folder), output.folder_text());
    EXPECT_TRUE(file_exists(output.file("w.tga")));
}

TEST_F(ConvertTest, OutputFolderIsCreated) {
    write_tga_file(input.file("w.tga"), pattern_image(2, 2, 24, 12));
    const std::string fresh = output.file("fresh");
    std::snprintf(folder, sizeof folder, "%s", fresh.c_str());
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 1);
    EXPECT_TRUE(file_exists(output.file("fresh") + path_separator + "w.kgf"));
}

TEST_F(ConvertTest, UnreadableInputWritesNothing) {
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("missing.tga")), 0);
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("missing.kgf")), 0);
    write_file_bytes(input.file("short.kgf"), {0, 0, 0x7A, 'x', 0, 1});
    EXPECT_EQ(convert_kgf_to_kgf(folder, name_of("short.kgf")), 0);
    EXPECT_TRUE(list_folder(output.path).empty());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"File is missing some data; do not use"});
}

TEST_F(ConvertTest, TooLongPathsAreRefused) {
    write_tga_file(input.file("w.tga"), pattern_image(2, 2, 24, 13));
    std::string long_folder =
        output.folder_text() + std::string(250 - output.folder_text().size(), 'f');
    std::snprintf(folder, sizeof folder, "%s", long_folder.c_str());
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 0);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text.rfind("Path is too long: ", 0), 0u);
    EXPECT_EQ(messages.messages()[0].caption, "Error");
    EXPECT_TRUE(list_folder(output.path).empty()); // nothing written, no folder made
}

TEST_F(ConvertTest, OutputThatCannotBeCreatedIsReported) {
    write_tga_file(input.file("w.tga"), pattern_image(2, 2, 24, 14));
    // A file where the output folder should be.
    write_file_bytes(output.file("blocked"), {1});
    std::snprintf(folder, sizeof folder, "%s", output.file("blocked").c_str());
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 0);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text.rfind("Cannot create ", 0), 0u);
}

#ifndef _WIN32
namespace {
// Makes every write of this process past a few bytes fail while it lives.
struct file_size_limit {
    explicit file_size_limit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit() { setrlimit(RLIMIT_FSIZE, &previous); }
    rlimit previous{};
};
} // namespace

TEST_F(ConvertTest, FailedWriteKeepsTheOldFileAndLeavesNoPart) {
    write_tga_file(input.file("w.tga"), pattern_image(64, 64, 24, 15));
    write_file_bytes(output.file("w.kgf"), {'o', 'l', 'd'});
    write_file_bytes(output.file("w.tga"), {'o', 'l', 'd'});
    {
        file_size_limit limit(100);
        EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 0);
        EXPECT_EQ(convert_tga_to_tga(folder, name_of("w.tga")), 0);
    }
    EXPECT_EQ(without_reasons(messages.texts()),
              (std::vector<std::string>{"Cannot write " + output.file("w.kgf"),
                                        "Cannot write " + output.file("w.tga")}));
    EXPECT_EQ(read_file_bytes(output.file("w.kgf")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(read_file_bytes(output.file("w.tga")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"w.kgf", "w.tga"}));
}
#endif

TEST_F(ConvertTest, TemporaryNameNeverTakesAnotherFile) {
    write_tga_file(input.file("w.tga"), pattern_image(4, 4, 24, 16));
    write_file_bytes(output.file("w.kgf~"), {'m', 'i', 'n', 'e'});
    EXPECT_EQ(convert_tga_to_kgf(folder, name_of("w.tga")), 1);
    EXPECT_EQ(read_file_bytes(output.file("w.kgf~")), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"w.kgf", "w.kgf~"}));
}

TEST_F(ConvertTest, AnimationToTgaLeavesNoFrameFilesBehind) {
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(kaf_frame(std::string("f") + std::to_string(i) + ".kgf",
                                   pattern_image(8, 4, 16, 20 + i), 8));
    write_file_bytes(input.file("anim.kaf"), kaf_file(frames));
    EXPECT_EQ(convert_kaf_to_tga(folder, name_of("anim.kaf")), 1);
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"f0.tga", "f1.tga", "f2.tga"}));
    EXPECT_STREQ(name, "anim.kaf");

    // A frame that cannot be read is reported by name; the others convert.
    frames[1] = kaf_frame("f1.kgf", pattern_image(8, 4, 16, 21), 0x8008);
    write_file_bytes(input.file("anim.kaf"), kaf_file(frames));
    scratch_folder second;
    std::snprintf(folder, sizeof folder, "%s", second.folder_text().c_str());
    messages.clear();
    EXPECT_EQ(convert_kaf_to_tga(folder, name_of("anim.kaf")), 0);
    EXPECT_EQ(list_folder(second.path), (std::vector<std::string>{"f0.tga", "f2.tga"}));
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"anim.kaf: frame f1.kgf: Bad image size!"});
}

TEST_F(ConvertTest, AnimationToKgfWritesEveryFrame) {
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 2; ++i)
        frames.push_back(kaf_frame(std::string("g") + std::to_string(i) + ".kgf",
                                   pattern_image(4, 4, 16, 30 + i), 4));
    write_file_bytes(input.file("anim.kaf"), kaf_file(frames));
    std::snprintf(folder, sizeof folder, "%s", output.path.c_str());
    EXPECT_EQ(convert_kaf_to_kgf(folder, name_of("anim.kaf")), 1);
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"g0.kgf", "g1.kgf"}));
    read_kgf_back("g0.kgf", 1);
}

TEST(LastThree, EndingsWithoutLookingForADot) {
    EXPECT_STREQ(last_three("wall.tga"), "tga");
    EXPECT_STREQ(last_three("WALL.TGA"), "TGA");
    EXPECT_STREQ(last_three("xtga"), "tga");
    EXPECT_STREQ(last_three("ab"), "ab");
    EXPECT_STREQ(last_three(""), "");
    // The ending is the name's own: two calls never share a buffer.
    const char* first = "a.kgf";
    const char* second = "b.tga";
    const char* first_ending = last_three(first);
    const char* second_ending = last_three(second);
    EXPECT_EQ(first_ending, first + 2);
    EXPECT_STREQ(first_ending, "kgf");
    EXPECT_STREQ(second_ending, "tga");
}

TEST(OutputNames, ShortNamesKeepEveryCharacter) {
    struct name_case {
        const char* name;
        const char* level_name;
        const char* single_name;
    };
    const name_case cases[] = {{"wall.kgf", "wall_MM2.tga", "wall.tga"},
                               {"a.kgf", "a_MM2.tga", "a.tga"},
                               {"abcd", "abcd_MM2.tga", "atga"},
                               {"ab", "ab_MM2.tga", "ab.tga"},
                               {"", "_MM2.tga", ".tga"}};
    for (const auto& c : cases) {
        EXPECT_EQ(level_file_name(c.name, "_MM", 2), c.level_name) << c.name;
        EXPECT_EQ(replace_extension(c.name, "tga"), c.single_name) << c.name;
    }
}

TEST_F(ConvertTest, AnimationToTgaKeepsTheUsersFilesOfAFramesName) {
    std::vector<std::vector<uint8_t>> frames = {
        kaf_frame("mine.kgf", pattern_image(4, 4, 16, 40), 4),
        kaf_frame("other.kgf", pattern_image(4, 4, 16, 41), 0x8004)}; // unreadable as KGF
    write_file_bytes(input.file("anim.kaf"), kaf_file(frames));
    write_file_bytes(output.file("mine.kgf"), {'m', 'i', 'n', 'e'});
    write_file_bytes(output.file("other.kgf"), {'o', 't', 'h', 'e', 'r'});
    EXPECT_EQ(convert_kaf_to_tga(folder, name_of("anim.kaf")), 0);
    EXPECT_EQ(list_folder(output.path),
              (std::vector<std::string>{"mine.kgf", "mine.tga", "other.kgf"}));
    EXPECT_EQ(read_file_bytes(output.file("mine.kgf")), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(read_file_bytes(output.file("other.kgf")),
              (std::vector<uint8_t>{'o', 't', 'h', 'e', 'r'}));
}

TEST_F(ConvertTest, AnimationToTgaNeverReachesOutsideTheFolder) {
    // A frame name that climbs out of the output folder, where a real
    // texture of that name lies.
    const std::string outside = "outside-" + std::to_string(std::rand()) + ".kgf";
    scratch_folder nested_parent;
    const std::string nested = nested_parent.file("out");
    std::snprintf(folder, sizeof folder, "%s%c", nested.c_str(), path_separator);
    const image_buffer picture = pattern_image(4, 4, 16, 42);
    write_kgf_file(nested_parent.file(outside), outside, picture, 1);
    const std::vector<uint8_t> before = read_file_bytes(nested_parent.file(outside));
    write_file_bytes(input.file("anim.kaf"),
                     kaf_file({kaf_frame(std::string("..") + path_separator + outside, picture, 4),
                               kaf_frame("fine.kgf", picture, 4)}));
    EXPECT_EQ(convert_kaf_to_tga(folder, name_of("anim.kaf")), 0);
    EXPECT_EQ(read_file_bytes(nested_parent.file(outside)), before);
    EXPECT_EQ(list_folder(nested_parent.path), (std::vector<std::string>{"out", outside}));
    EXPECT_EQ(list_folder(nested), std::vector<std::string>{"fine.tga"});
    ASSERT_FALSE(messages.texts().empty());
    EXPECT_EQ(messages.texts()[0].rfind("Bad frame name: ", 0), 0u);
}
