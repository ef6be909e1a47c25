#include "convert/batch_decisions.h"

#include "convert/file_type.h"

namespace {

enum { kaf_type = 0, kgf_type = 1, tga_type = 2, png_type = 3 };

bool is_type(const format_texts& descriptions, std::string_view text, int type) {
    const std::string_view description = descriptions[type];
    return !description.empty() && text == description;
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

batch_action action_for(const format_texts& descriptions, std::string_view out,
                        std::string_view in) {
    const auto is = [&descriptions](std::string_view text, int type) {
        return is_type(descriptions, text, type);
    };
    if (is(out, tga_type) && is(in, kgf_type))
        return batch_action::kgf_to_tga;
    if (is(out, kgf_type) && is(in, tga_type))
        return batch_action::tga_to_kgf;
    if (is(out, kgf_type) && is(in, kaf_type))
        return batch_action::kaf_to_kgf;
    if (is(out, tga_type) && is(in, kaf_type))
        return batch_action::kaf_to_tga;
    if (is(out, tga_type) && is(in, tga_type))
        return batch_action::tga_to_tga;
    if (is(out, kgf_type) && is(in, kgf_type))
        return batch_action::kgf_to_kgf;
    // PNG goes wherever TGA goes.
    if (is(out, kgf_type) && is(in, png_type))
        return batch_action::png_to_kgf;
    if (is(out, tga_type) && is(in, png_type))
        return batch_action::png_to_tga;
    if (is(out, png_type) && is(in, png_type))
        return batch_action::png_to_png;
    if (is(out, png_type) && is(in, kgf_type))
        return batch_action::kgf_to_png;
    if (is(out, png_type) && is(in, tga_type))
        return batch_action::tga_to_png;
    if (is(out, png_type) && is(in, kaf_type))
        return batch_action::kaf_to_png;
    if (is(out, kaf_type))
        return batch_action::sorry;
    return batch_action::unsupported;
}
