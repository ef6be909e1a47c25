// Cutting names to fixed fields never splits a UTF-8 character.
#include "formats/text_fit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(fitting_length, cuts_between_characters_only) {
    const std::string tree = "\xE6\x9C\xA8";     // three bytes
    const std::string em = "\xD0\x9C";           // two bytes
    const std::string face = "\xF0\x9F\x98\x80"; // four bytes
    const struct {
        std::string text;
        size_t room;
        size_t expected;
    } cases[] = {
        {"abc", 5, 3},
        {"abcdef", 4, 4},
        {tree + tree, 6, 6},
        {tree + tree, 5, 3},
        {tree + tree, 4, 3},
        {tree + tree, 2, 0},
        {em + em + "x", 3, 2},
        {"a" + face + "b", 4, 1},
        {"a" + face + "b", 5, 5},
        {"ab" + tree.substr(0, 2), 3, 2},               // the text ends inside a character
        {"\xC4pfel", 1, 1},                             // another code page: cut where it falls
        {std::string("a\x80\x80\x80\x80") + "b", 3, 3}, // continuation bytes with no lead
        {std::string("\xE9\x80") + "A", 1, 1},          // a lead whose character is broken
        {"", 0, 0},
    };
    for (const auto& test : cases)
        EXPECT_EQ(fitting_length(test.text, test.room), test.expected)
            << test.text.size() << " bytes into " << test.room;
}

} // namespace
