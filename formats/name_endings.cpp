#include "formats/name_endings.h"

#include <cstdio>
#include <cstring>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_control(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

bool has_ending(std::string_view name, const char* ending) {
    const size_t length = std::strlen(ending);
    if (name.size() < length + 1 || name[name.size() - length - 1] != '.')
        return false;
    for (size_t i = 0; i < length; ++i)
        if (lower(name[name.size() - length + i]) != lower(ending[i]))
            return false;
    return true;
}

std::string with_ending(const std::string& name, const char* from, const char* to) {
    const bool replaced =
        from != nullptr ? has_ending(name, from) : name.size() >= 4 && name[name.size() - 4] == '.';
    if (replaced)
        return name.substr(0, name.size() - 3) + to;
    return name + "." + to;
}

std::string printable_name(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        if (!is_control(c)) {
            text += c;
            continue;
        }
        switch (c) {
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        default: {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            text += escaped;
        }
        }
    }
    return text;
}

bool has_control_character(std::string_view name) {
    for (const char c : name)
        if (is_control(c))
            return true;
    return false;
}
