#include "convert/batch_decisions.h"

#include "convert/file_type.h"

namespace {

enum { kaf_type = 0, kgf_type = 1, tga_type = 2, png_type = 3 };

// The type whose description the text is; an empty description names none.
file_type type_of_text(const format_texts& descriptions, std::string_view text) {
    constexpr file_type types[] = {file_type::kaf, file_type::kgf, file_type::tga, file_type::png};
    for (size_t type = 0; type < descriptions.size(); ++type)
        if (!descriptions[type].empty() && text == descriptions[type])
            return types[type];
    return file_type::none;
}

} // namespace

std::string_view input_type_for(const format_texts& descriptions, int filter_index,
                                const char* first_name) {
    if (filter_index == all_files_filter) {
        // "All Files": the first name's ending decides, in exact case only.
        switch (type_from_ending(first_name, ending_case::exact)) {
        case file_type::kaf:
            return descriptions[kaf_type];
        case file_type::kgf:
            return descriptions[kgf_type];
        case file_type::tga:
            return descriptions[tga_type];
        case file_type::png:
            return descriptions[png_type];
        case file_type::none:
            return {};
        }
        return {};
    }
    if (filter_index >= 1 && filter_index < all_files_filter)
        return descriptions[filter_index - 1];
    if (filter_index == png_filter)
        return descriptions[png_type];
    return {};
}

batch_action action_of(file_type from, file_type to) {
    for (const conversion_pair& pair : conversion_pairs)
        if (pair.from == from && pair.to == to)
            return pair.action;
    return to == file_type::kaf ? batch_action::sorry : batch_action::unsupported;
}

conversion_pair pair_of(batch_action action) {
    for (const conversion_pair& pair : conversion_pairs)
        if (pair.action == action)
            return pair;
    return {action, file_type::none, file_type::none};
}

batch_action action_for(const format_texts& descriptions, std::string_view out,
                        std::string_view in) {
    return action_of(type_of_text(descriptions, in), type_of_text(descriptions, out));
}
