// What the dialog's batch decides before it converts a file: the input
// type, from the file filter or the first name, and the action its output
// and input types give. The type texts are the format descriptions the
// dialog's filters show; the caller owns them.
#pragma once

#include <array>
#include <string_view>

enum class batch_action {
    sorry,       // KAF output: no file is converted
    unsupported, // no matching pair
    kgf_to_tga,
    tga_to_kgf,
    kaf_to_kgf,
    kaf_to_tga,
    tga_to_tga,
    kgf_to_kgf,
    png_to_kgf,
    png_to_tga,
    png_to_png,
    kgf_to_png,
    tga_to_png,
    kaf_to_png,
};

// The descriptions of KAF, KGF, TGA and PNG, in that order (string-table
// entries 1 to 4).
using format_texts = std::array<std::string_view, 4>;

// The filter indexes: KAF, KGF and TGA are 1 to 3 and "All Files" 4, as
// they always were, so that a stored filter keeps its meaning; PNG came
// later and is 5.
constexpr int all_files_filter = 4;
constexpr int png_filter = 5;

// The input type's text: the description of filter index 1 to 3 or of PNG
// (5), or under "All Files" (4) the one the first name's last three
// characters give in exact case; empty for any other index or ending.
std::string_view input_type_for(const format_texts& descriptions, int filter_index,
                                const char* first_name);

// The action for an output and an input type text. Texts are compared
// exactly; an empty description matches nothing, so a text that failed to
// load never pairs with an empty choice.
batch_action action_for(const format_texts& descriptions, std::string_view output_type,
                        std::string_view input_type);
