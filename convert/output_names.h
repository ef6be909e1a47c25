// Output names and paths of the conversion routines.
#pragma once

#include "convert/file_type.h"
#include "formats/report.h"

#include <string>

// The output's name: a name ending in a dot and the input type's ending (in
// any case) gets the output type's in place of those three letters
// ("wall.TGA" gives "wall.kgf"); any other name gets a dot and the output
// type's ending added ("picture" gives "picture.kgf"). An input type of none
// takes the three letters after a last dot as its ending.
std::string output_file_name(const std::string& name, file_type from, file_type to);

// Per-level picture name: the name without a dot and the input type's
// ending, then the suffix, the level number and the output type's ending
// (".tga" or ".png").
std::string level_file_name(const std::string& name, file_type from, const char* suffix, int level,
                            file_type to = file_type::tga);

// The folder with the platform's separator after it when it lacks one. An
// empty folder, the current one, stays empty.
std::string folder_with_separator(std::string folder);

// Joins folder and name into a path that must fit a 256-byte buffer:
// path_too_long about the path when it does not.
kgf_failure join_output_path(const char* folder, const std::string& name, std::string& path);
