#include "convert/convert.h"
#include "platform/files.h"
#include "platform/message.h"
#include "routines/conversion.h"
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
        reset_routines_state();
        std::snprintf(folder, sizeof folder, "%s", output.folder_text().c_str());
    }

    // A bare-name buffer as the selection holds it.
    char* name_of(const char* text) {
        std::snprintf(name, sizeof name, "%s", text);
        return name;
    }

    scratch_folder input;
    scratch_folder output;
    current_folder_change in_input{input.path};
    message_recorder messages;
    char folder[path_bytes] = {};
    char name[path_bytes] = {};
};

} // namespace

// The selection's text takes the name the batch shows, when it fits.
TEST_F(ConvertTest, RoutinesRenameTheSelectionInPlace) {
    struct name_case {
        const char* input;
        const char* after;
        const char* output;
    };
    const name_case cases[] = {{"wall.tga", "wall.kgf", "wall.kgf"},
                               {"wall.TGA", "wall.kgf", "wall.kgf"},
                               // No letter is lost; the selection's text cannot grow.
                               {"texture", "texture", "texture.kgf"},
                               {"ab", "ab", "ab.kgf"}};
    for (const name_case& c : cases) {
        write_tga_file(input.file(c.input), pattern_image(4, 4, 24, 1));
        EXPECT_EQ(convert_tga_to_kgf(folder, name_of(c.input)), 1) << c.input;
        EXPECT_STREQ(name, c.after);
        EXPECT_TRUE(file_exists(output.file(c.output))) << c.output;
        EXPECT_EQ(convert_tga_to_tga(folder, name_of(c.input)), 1) << c.input;
        EXPECT_STREQ(name, c.input);
    }
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(ConvertTest, RoutinesReadTheStoredSettings) {
    write_kgf_file(input.file("wall.kgf"), "wall.kgf", pattern_image(4, 4, 16, 6), 5);
    settings.mipmaps = 1;
    settings.num_mipmaps = 3;
    settings.bpp = 32;
    std::snprintf(settings.suffix, sizeof settings.suffix, "%s", "S");
    EXPECT_EQ(convert_kgf_to_tga(folder, name_of("wall.kgf")), 1);
    // Levels 4 and 5 of a 4 x 4 texture hold no pixel: left out.
    EXPECT_EQ(list_folder(output.path),
              (std::vector<std::string>{"wallS1.tga", "wallS2.tga", "wallS3.tga"}));
    EXPECT_EQ(read_file_bytes(output.file("wallS1.tga"))[16], 32);
    EXPECT_EQ(convert_kgf_to_kgf(folder, name_of("wall.kgf")), 1);
    EXPECT_EQ(read_kgf_bytes(read_file_bytes(output.file("wall.kgf"))).num_mipmaps, 3);
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
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"short.kgf\nFile is missing some data; do not use"});
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

TEST_F(ConvertTest, AnimationToTgaKeepsTheUsersFilesOfAFramesName) {
    std::vector<std::vector<uint8_t>> frames = {
        kaf_frame("mine.kgf", pattern_image(4, 4, 16, 40), 4),
        kaf_frame("other.kgf", pattern_image(4, 4, 16, 41), 0x8004)}; // 4 wide: its low byte
    write_file_bytes(input.file("anim.kaf"), kaf_file(frames));
    write_file_bytes(output.file("mine.kgf"), {'m', 'i', 'n', 'e'});
    write_file_bytes(output.file("other.kgf"), {'o', 't', 'h', 'e', 'r'});
    EXPECT_EQ(convert_kaf_to_tga(folder, name_of("anim.kaf")), 1);
    EXPECT_EQ(list_folder(output.path),
              (std::vector<std::string>{"mine.kgf", "mine.tga", "other.kgf", "other.tga"}));
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

// A file's questions and notes come as it is converted; what failed comes
// after, in the order met.
TEST_F(ConvertTest, FailuresAreShownAfterTheFilesQuestions) {
    const image_buffer picture = pattern_image(4, 4, 16, 43);
    // Its KGF's name, with the ".kgf" the split adds, is 36 characters.
    const std::string long_name = std::string(32, 'n');
    write_file_bytes(input.file("anim.kaf"),
                     kaf_file({kaf_frame("../up.kgf", picture, 4), kaf_frame(long_name, picture, 4),
                               kaf_frame("../up2.kgf", picture, 4)}));
    messages.answer(answer_yes);
    EXPECT_EQ(convert_kaf_to_kgf(folder, name_of("anim.kaf")), 0);
    EXPECT_EQ(list_folder(output.path), std::vector<std::string>{long_name + ".kgf"});
    ASSERT_EQ(messages.messages().size(), 3u);
    EXPECT_EQ(messages.messages()[0].style, message_yes_no);
    EXPECT_EQ(messages.messages()[1].text, "Bad frame name: ../up.kgf");
    EXPECT_EQ(messages.messages()[2].text, "Bad frame name: ../up2.kgf");
}
