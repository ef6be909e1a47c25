// The files a convert command works on: the arguments as given, or with -r
// every file of a known type below a folder, each with the output folder
// that mirrors its place.
#pragma once

#include "convert/convert.h"

#include <string>
#include <vector>

struct convert_item {
    std::string input;      // as given, or the folder given joined with the path below it
    std::string output_dir; // the output folder, below -o as the input lies below its folder
    file_type type = file_type::none;
    bool is_folder = false; // a folder given without -r
    bool missing = false;   // an argument naming nothing: fails as "Cannot open"
    std::string unreadable; // a folder below which nothing could be listed: why
};

struct convert_list {
    std::vector<convert_item> items;
    int skipped = 0; // files of other types, and links that lead out of their tree
};

// Expands the arguments. Without recursion every argument is an item. With
// it, a folder gives every regular file below it whose ending is kgf, tga, png or
// kaf in any case, in name order; links to folders are not followed, and a
// link to a file is followed only when the file lies inside the tree. A
// folder that cannot be listed is an item of its own, in its place, that
// fails.
convert_list list_inputs(const std::vector<std::string>& arguments, const std::string& output_dir,
                         bool recursive, file_type forced);

// The item of one file below a folder given, as list_inputs with recursion
// makes it; false for a file list_inputs would skip, or a folder.
bool item_in_tree(const std::string& folder, const std::string& file, const std::string& output_dir,
                  file_type forced, convert_item& item);
