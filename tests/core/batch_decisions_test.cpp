#include "convert/batch_decisions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const format_texts descriptions = {"Animations (*.kaf)", "Textures (*.kgf)", "Targa (*.tga)",
                                   "Network (*.png)"};
enum { kaf = 0, kgf = 1, tga = 2, png = 3, none = -1 };

std::string_view text_of(const format_texts& texts, int type) {
    return type == none ? std::string_view() : texts[static_cast<size_t>(type)];
}

} // namespace

TEST(BatchDecisions, InputTypeByFilterOrByEnding) {
    struct input_case {
        int filter;
        const char* first_name;
        int type;
    };
    const input_case cases[] = {
        {1, "x.tga", kaf},   {2, "x.tga", kgf},  {3, "x.kaf", tga},  {4, "a.kaf", kaf},
        {4, "a.KAF", kaf},   {4, "a.kgf", kgf},  {4, "a.KGF", kgf},  {4, "a.tga", tga},
        {4, "a.TGA", tga},   {4, "a.Tga", none}, {4, "a.bmp", none}, {4, "xtga", tga},
        {4, "ga", none},     {4, "", none},      {0, "a.tga", none}, {6, "a.tga", none},
        {-1, "a.tga", none}, {5, "a.tga", png},  {4, "a.png", png},  {4, "a.PNG", png},
        {4, "a.Png", none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(input_type_for(descriptions, c.filter, c.first_name),
                  text_of(descriptions, c.type))
            << c.filter << " " << c.first_name;
}

TEST(BatchDecisions, ActionByOutputAndInputType) {
    struct action_case {
        int output, input;
        batch_action action;
    };
    const action_case cases[] = {
        {tga, kgf, batch_action::kgf_to_tga},   {kgf, tga, batch_action::tga_to_kgf},
        {kgf, kaf, batch_action::kaf_to_kgf},   {tga, kaf, batch_action::kaf_to_tga},
        {tga, tga, batch_action::tga_to_tga},   {kgf, kgf, batch_action::kgf_to_kgf},
        {kaf, kgf, batch_action::sorry},        {kaf, none, batch_action::sorry},
        {kaf, kaf, batch_action::sorry},        {kgf, none, batch_action::unsupported},
        {none, tga, batch_action::unsupported}, {none, none, batch_action::unsupported},
        {kgf, png, batch_action::png_to_kgf},   {tga, png, batch_action::png_to_tga},
        {png, png, batch_action::png_to_png},   {png, kgf, batch_action::kgf_to_png},
        {png, tga, batch_action::tga_to_png},   {png, kaf, batch_action::kaf_to_png},
        {kaf, png, batch_action::sorry},        {png, none, batch_action::unsupported},
    };
    for (const auto& c : cases)
        EXPECT_EQ(action_for(descriptions, text_of(descriptions, c.output),
                             text_of(descriptions, c.input)),
                  c.action)
            << c.output << " " << c.input;

    // Texts are compared exactly: another case or a prefix is no match.
    EXPECT_EQ(action_for(descriptions, "targa (*.tga)", descriptions[kgf]),
              batch_action::unsupported);
    EXPECT_EQ(action_for(descriptions, descriptions[tga], "Textures"), batch_action::unsupported);
    // A description that failed to load never pairs with an empty text.
    const format_texts unloaded = {"Animations (*.kaf)", "", "Targa (*.tga)", ""};
    EXPECT_EQ(action_for(unloaded, "", ""), batch_action::unsupported);
    EXPECT_EQ(action_for(unloaded, descriptions[tga], ""), batch_action::unsupported);
    EXPECT_EQ(input_type_for(unloaded, 4, "a.kgf"), "");
}
