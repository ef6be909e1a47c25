// What watch knows of a file before it converts it: whether it is one of
// the editors' own, the outputs its conversion writes, and whether it is
// newer than they are.
#pragma once

#include "cli/kgfconv_tree.h"
#include "convert/convert.h"

#include <cstdint>
#include <string>
#include <vector>

// A file as it was seen: what tells one save from the next.
struct file_stamp {
    bool there = false;
    int64_t size = 0;
    int64_t time = 0; // the last write, in the system's own ticks
    bool operator==(const file_stamp& other) const = default;
};

file_stamp stamp_of(const std::string& path);

// The editors' temporary and backup files, and this program's own
// temporary outputs: names starting with '.', '~' or '#', or ending in '~'.
bool is_editors_file(const std::string& name);

// The paths the item's conversion writes, named as the conversion names
// them; empty when they cannot be told without it.
std::vector<std::string> planned_outputs(const convert_item& item, file_type to,
                                         const conversion_options& options);

// Whether the item needs converting: an output is missing or older than it,
// or its outputs cannot be told.
bool out_of_date(const convert_item& item, const std::vector<std::string>& outputs);
