#include "convert/file_type.h"

#include <cstring>

file_type type_from_ending(const char* name, ending_case rule) {
    const char* ending = last_three(name);
    auto is = [ending, rule](const char* lower, const char* upper) {
        if (std::strcmp(ending, lower) == 0 || std::strcmp(ending, upper) == 0)
            return true;
        if (rule == ending_case::exact || std::strlen(ending) != 3)
            return false;
        for (int i = 0; i < 3; ++i)
            if (ending[i] != lower[i] && ending[i] != upper[i])
                return false;
        return true;
    };
    if (is("tga", "TGA"))
        return file_type::tga;
    if (is("kaf", "KAF"))
        return file_type::kaf;
    if (is("kgf", "KGF"))
        return file_type::kgf;
    if (is("png", "PNG"))
        return file_type::png;
    return file_type::none;
}

const char* last_three(const char* name) {
    const size_t length = std::strlen(name);
    return length < 3 ? name : name + length - 3;
}

const char* type_ending(file_type type) {
    switch (type) {
    case file_type::kaf:
        return "kaf";
    case file_type::kgf:
        return "kgf";
    case file_type::tga:
        return "tga";
    case file_type::png:
        return "png";
    case file_type::none:
        break;
    }
    return nullptr;
}
