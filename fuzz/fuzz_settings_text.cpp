// The settings file's parser: any text leaves every field terminated, and
// the record written back as a file reads back the same.
#include "fuzz/fuzz_support.h"
#include "settings/setting_fields.h"
#include "settings/settings_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

void check_terminated(const settings_record& record) {
    for (const setting_field& field : setting_fields) {
        const char* text = reinterpret_cast<const char*>(&record) + field.offset;
        if (field.kind == setting_kind::text && std::memchr(text, '\0', field.size) == nullptr) {
            std::fprintf(stderr, "kgf fuzz: %s is not terminated\n", field.name);
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_setup();
    static const settings_record defaults = [] {
        set_default_settings();
        return settings;
    }();
    settings_record record = defaults;
    parse_settings_text(std::string_view(reinterpret_cast<const char*>(data), size), record);
    check_terminated(record);

    const std::string saved = format_settings_text(record);
    settings_record again = defaults;
    parse_settings_text(saved, again);
    for (const setting_field& field : setting_fields) {
        const std::string value = setting_value(record, field);
        // A text with a line break is left out of the file: it reads back
        // as the default.
        const bool left_out = value.find_first_of("\r\n") != std::string::npos;
        if (setting_value(again, field) != (left_out ? setting_value(defaults, field) : value)) {
            std::fprintf(stderr, "kgf fuzz: %s does not read back as saved:\n%s\n", field.name,
                         saved.c_str());
            std::abort();
        }
    }
    return 0;
}
