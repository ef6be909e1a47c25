// Output names and paths of the conversion routines.
#pragma once

#include "formats/report.h"

#include <string>

// The name with its last three characters replaced by the extension; a name
// shorter than three characters gets "." and the extension appended.
std::string replace_extension(const std::string& name, const char* extension);

// Per-level picture name: the name without its last four characters (a dot
// and a three-letter extension), the suffix, the level number, a dot and the
// extension ("tga" or "png"). A name of fewer than five characters keeps all
// of them as the base.
std::string level_file_name(const std::string& name, const char* suffix, int level,
                            const char* extension = "tga");

// The folder with the platform's separator after it when it lacks one. An
// empty folder, the current one, stays empty.
std::string folder_with_separator(std::string folder);

// Joins folder and name into a path that must fit a 256-byte buffer;
// reports path_too_long for the path and returns 0 when it does not.
int join_output_path(const char* folder, const std::string& name, std::string& path,
                     const report_sink& sink);
