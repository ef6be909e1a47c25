// Long paths and words in message-box texts are shortened in the middle.
#include "platform/message.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MessageText, LongPathsAndWordsAreShortenedInTheMiddle) {
    const std::string folder = "C:\\first\\" + std::string(120, 'm') + "\\last";
    const std::string name(200, 'n');
    struct case_row {
        std::string text;
        std::string shown;
    };
    const case_row rows[] = {
        // Short texts stay as they are, spaces included.
        {"Cannot create C:\\out\\wall.tga", "Cannot create C:\\out\\wall.tga"},
        // The root and first component, then the last components that fit.
        {"Path is too long: " + folder + "\\wall.tga",
         "Path is too long: C:\\first...\\last\\wall.tga"},
        // A path ends at a colon: the message after it stays whole.
        {folder + "\\wall.kgf: Bad filler!", "C:\\first...\\last\\wall.kgf: Bad filler!"},
        // A path with spaces is one path.
        {"Cannot create C:\\My Files\\" + std::string(100, 'x') + " y\\wall.tga",
         "Cannot create C:\\My Files...\\wall.tga"},
        // A last component too long for the room is cut in its middle.
        {"Cannot create C:\\out\\" + name + ".tga",
         "Cannot create C:\\out..." + std::string(51, 'n') + ".tga"},
        // A long bare name keeps its start and its end.
        {name + ".tga: Bad filler!",
         std::string(30, 'n') + "..." + std::string(26, 'n') + ".tga: Bad filler!"},
        // Addresses are no drive letters.
        {"navigate to http://corvania.example/kgftool/.",
         "navigate to http://corvania.example/kgftool/."},
    };
    for (const case_row& row : rows) {
        const std::string shown = shorten_long_words(row.text);
        EXPECT_EQ(shown, row.shown) << row.text;
    }
}

TEST(MessageText, NoCutFallsInsideACharacter) {
    std::string word;
    for (int i = 0; i < 60; ++i)
        word += "\xC3\xA9"; // two bytes each
    const std::string shown = shorten_long_words(word);
    ASSERT_NE(shown.find("..."), std::string::npos);
    for (const std::string& half :
         {shown.substr(0, shown.find("...")), shown.substr(shown.find("...") + 3)})
        EXPECT_EQ(half.size() % 2, 0u) << "a character was cut";
}

} // namespace
