// What the dialog's batch decides before it converts a file: the input
// type, from the file filter or the first name, and the action its output
// and input types give. The type texts are the format descriptions the
// dialog's filters show; the caller owns them.
#pragma once

#include "convert/file_type.h"

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

// A conversion the program makes: its action and the input and output
// types it turns one into the other.
struct conversion_pair {
    batch_action action;
    file_type from;
    file_type to;
};

// Every conversion the program makes, each once: the one table from which
// the dialog, kgfconv and the conversion routines take a pair's action and
// an action's pair. No animation is ever an output.
constexpr conversion_pair conversion_pairs[] = {
    {batch_action::kgf_to_tga, file_type::kgf, file_type::tga},
    {batch_action::tga_to_kgf, file_type::tga, file_type::kgf},
    {batch_action::kaf_to_kgf, file_type::kaf, file_type::kgf},
    {batch_action::kaf_to_tga, file_type::kaf, file_type::tga},
    {batch_action::tga_to_tga, file_type::tga, file_type::tga},
    {batch_action::kgf_to_kgf, file_type::kgf, file_type::kgf},
    // PNG goes wherever TGA goes.
    {batch_action::png_to_kgf, file_type::png, file_type::kgf},
    {batch_action::png_to_tga, file_type::png, file_type::tga},
    {batch_action::png_to_png, file_type::png, file_type::png},
    {batch_action::kgf_to_png, file_type::kgf, file_type::png},
    {batch_action::tga_to_png, file_type::tga, file_type::png},
    {batch_action::kaf_to_png, file_type::kaf, file_type::png},
};

// The action of a pair: its row's, else sorry for a KAF output and
// unsupported for anything else.
batch_action action_of(file_type from, file_type to);

// The pair of an action; none to none for sorry and unsupported.
conversion_pair pair_of(batch_action action);

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
