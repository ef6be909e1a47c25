#include "settings/setting_fields.h"

#include <cstring>

const setting_field setting_fields[setting_count] = {
    {"install_dir", "", setting_kind::text, offsetof(settings_record, install_dir),
     sizeof settings_record::install_dir, 0, 0, false},
    {"input_dir", "", setting_kind::text, offsetof(settings_record, input_dir),
     sizeof settings_record::input_dir, 0, 0, false},
    {"output_dir", "", setting_kind::text, offsetof(settings_record, output_dir),
     sizeof settings_record::output_dir, 0, 0, false},
    {"input_type", "", setting_kind::byte, offsetof(settings_record, input_type), 1, 0, 4, false},
    {"output_type", "", setting_kind::byte, offsetof(settings_record, output_type), 1, 0, 3, false},
    {"bpp", "tga", setting_kind::byte, offsetof(settings_record, bpp), 1, 24, 32, true},
    {"mipmaps", "tga", setting_kind::byte, offsetof(settings_record, mipmaps), 1, 0, 1, false},
    {"suffix", "tga", setting_kind::text, offsetof(settings_record, suffix),
     sizeof settings_record::suffix, 0, 0, false},
    {"num_mipmaps", "kgf", setting_kind::byte, offsetof(settings_record, num_mipmaps), 1, 1, 5,
     true},
    {"dither", "kgf", setting_kind::byte, offsetof(settings_record, dither), 1, 0, 1, true},
    {"srgb_mips", "kgf", setting_kind::byte, offsetof(settings_record, srgb_mips), 1, 0, 1, true},
    {"alpha_mips", "kgf", setting_kind::byte, offsetof(settings_record, alpha_mips), 1, 0, 1, true},
};

namespace {

char* field_bytes(settings_record& record, const setting_field& field) {
    return reinterpret_cast<char*>(&record) + field.offset;
}

const char* field_bytes(const settings_record& record, const setting_field& field) {
    return reinterpret_cast<const char*>(&record) + field.offset;
}

bool allowed(const setting_field& field, uint8_t value) {
    if (field.only_ends)
        return value == field.low || value == field.high;
    return value >= field.low && value <= field.high;
}

bool ends_in_separator(std::string_view text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

// The output folder is named: an empty text would write into whatever
// folder a conversion runs in, and blanks would make a folder of blanks, as
// the dialog refuses them. It gains a separator before any name is joined
// to it: the text and that separator must fit the field.
setting_check output_folder_rule(std::string_view text) {
    if (text.find_first_not_of(" \t") == std::string_view::npos)
        return setting_check::blank_folder;
    return ends_in_separator(text) || text.size() + 2 <= sizeof settings_record::output_dir
               ? setting_check::ok
               : setting_check::no_room;
}

// Separators of every platform, so that a stored value means the same on
// each: the suffix goes between a name and a level number.
setting_check part_of_a_name(std::string_view text) {
    return text.find_first_of("/\\:") == std::string_view::npos ? setting_check::ok
                                                                : setting_check::holds_separator;
}

// The texts that have rules of their own; byte fields take their values
// from setting_fields.
struct text_rule {
    const char* name;
    setting_check (*check)(std::string_view text);
};

constexpr text_rule text_rules[] = {
    {"output_dir", output_folder_rule},
    {"suffix", part_of_a_name},
};

setting_check check_text(const setting_field& field, std::string_view text) {
    for (const text_rule& rule : text_rules)
        if (std::string_view(rule.name) == field.name)
            return rule.check(text);
    return setting_check::ok;
}

} // namespace

const setting_field* find_setting(std::string_view name) {
    for (const auto& field : setting_fields)
        if (name == field.name)
            return &field;
    return nullptr;
}

std::string setting_value(const settings_record& record, const setting_field& field) {
    const char* bytes = field_bytes(record, field);
    if (field.kind == setting_kind::byte)
        return std::to_string(static_cast<uint8_t>(*bytes));
    return std::string(bytes, strnlen(bytes, field.size - 1));
}

bool put_setting_text(settings_record& record, const setting_field& field, std::string_view text) {
    if (field.kind != setting_kind::text || text.size() + 1 > field.size ||
        text.find('\0') != std::string_view::npos)
        return false;
    char* bytes = field_bytes(record, field);
    std::memset(bytes, 0, field.size);
    // An empty view may hold no pointer at all.
    if (!text.empty())
        std::memcpy(bytes, text.data(), text.size());
    return true;
}

bool parse_setting_byte(std::string_view text, uint8_t& value) {
    if (text.empty() || text.size() > 3)
        return false;
    unsigned number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 255)
        return false;
    value = static_cast<uint8_t>(number);
    return true;
}

setting_check set_setting(settings_record& record, const char* name, const char* value) {
    const setting_field* field = find_setting(name);
    if (field == nullptr)
        return setting_check::unknown_name;
    const std::string_view text(value);
    if (field->kind == setting_kind::byte) {
        uint8_t number = 0;
        if (!parse_setting_byte(text, number) || !allowed(*field, number))
            return setting_check::not_allowed;
        *reinterpret_cast<uint8_t*>(field_bytes(record, *field)) = number;
        return setting_check::ok;
    }
    // A line break would end the value early in the settings file.
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return setting_check::line_break;
    if (text.size() + 1 > field->size)
        return setting_check::too_long;
    const setting_check rule = check_text(*field, text);
    if (rule != setting_check::ok)
        return rule;
    if (!put_setting_text(record, *field, text))
        return setting_check::too_long;
    return setting_check::ok;
}

setting_check check_setting_value(const settings_record& record, const setting_field& field) {
    const char* bytes = field_bytes(record, field);
    if (field.kind == setting_kind::byte)
        return allowed(field, static_cast<uint8_t>(*bytes)) ? setting_check::ok
                                                            : setting_check::not_allowed;
    return check_text(field, std::string_view(bytes, strnlen(bytes, field.size - 1)));
}

std::vector<std::string> repair_settings(settings_record& record, const settings_record& defaults) {
    std::vector<std::string> notes;
    for (const auto& field : setting_fields) {
        const setting_check check = check_setting_value(record, field);
        if (check == setting_check::ok)
            continue;
        notes.push_back(std::string(field.name) + "=" + setting_value(record, field) + ": " +
                        setting_check_text(check, field.name) + "; the default " +
                        setting_value(defaults, field) + " is used");
        std::memcpy(field_bytes(record, field), field_bytes(defaults, field), field.size);
    }
    return notes;
}

std::string setting_check_text(setting_check check, const char* name) {
    const setting_field* field = find_setting(name);
    switch (check) {
    case setting_check::ok:
        return "accepted";
    case setting_check::unknown_name: {
        std::string text = "unknown setting; the settings are ";
        for (const auto& known : setting_fields)
            text.append(&known == setting_fields ? "" : ", ").append(known.name);
        return text;
    }
    case setting_check::not_allowed:
        if (field == nullptr)
            break;
        return "must be " + std::to_string(field->low) + (field->only_ends ? " or " : " to ") +
               std::to_string(field->high);
    case setting_check::too_long:
        if (field == nullptr)
            break;
        return "longer than " + std::to_string(field->size - 1) + " characters";
    case setting_check::line_break:
        return "holds a line break";
    case setting_check::no_room:
        return "longer than 254 characters, with no room for the separator before a name";
    case setting_check::holds_separator:
        return "holds /, \\ or :, which would put files outside the output folder";
    case setting_check::blank_folder:
        return "names no folder (. is the current one)";
    }
    return "not accepted";
}
