// The settings by name: where each lives in the record and in the
// store, and which values the command line accepts for it.
#pragma once

#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class setting_kind { text, byte };

struct setting_field {
    const char* name;
    const char* group; // sub-key below "KGF Tool": "", "tga" or "kgf"
    setting_kind kind;
    size_t offset; // of the field in settings_record
    size_t size;   // bytes of the field, a text's terminator included
    uint8_t low;   // accepted bytes: low to high,
    uint8_t high;
    bool only_ends; // or only low and high when this is set
};

constexpr size_t setting_count = 12;

// In the order of the record's fields.
extern const setting_field setting_fields[setting_count];

// The field of that name, or null.
const setting_field* find_setting(std::string_view name);

// A text field up to its terminator; a byte field in decimal.
std::string setting_value(const settings_record& record, const setting_field& field);

// Stores text into a text field: 1 when it fits with its terminator and holds
// no terminator of its own; the field is unchanged otherwise.
bool put_setting_text(settings_record& record, const setting_field& field, std::string_view text);

// Decimal digits only, 0 to 255, nothing around them.
bool parse_setting_byte(std::string_view text, uint8_t& value);

enum class setting_check {
    ok,
    unknown_name,
    not_allowed,     // a byte that is no number or outside its values
    too_long,        // a text longer than its field holds
    line_break,      // a text holding a line break
    no_room,         // a folder with no room left for the separator a path needs
    holds_separator, // a part of a file name holding a separator: it would leave the folder
    blank_folder,    // an empty folder, or one of blanks alone: no folder named
};

// Checks one value given by name and stores it when it passes; the record
// is unchanged otherwise. Values are taken verbatim.
setting_check set_setting(settings_record& record, const char* name, const char* value);

// Why set_setting refused a value of the named setting, for the user.
std::string setting_check_text(setting_check check, const char* name);

// Whether the value a field holds can work: a byte among the field's
// values, a folder with room for its separator, a suffix that stays part of
// a file name.
setting_check check_setting_value(const settings_record& record, const setting_field& field);

// Replaces every value of record that cannot work by its value in
// defaults, so that none is ever used to write a file. Returns one text per
// value replaced, naming the setting, its value and the default taken.
std::vector<std::string> repair_settings(settings_record& record, const settings_record& defaults);
