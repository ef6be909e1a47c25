// The file types and how a name's ending picks one.
#pragma once

#include <cstdint>

enum class file_type : uint8_t { kaf, kgf, tga, png, none };

// How a file's ending is compared: the dialog and the preview take "tga"
// and "TGA" only; the command line takes any case.
enum class ending_case : uint8_t { exact, any };

// The type a name's last three characters give; no dot is looked for.
file_type type_from_ending(const char* name, ending_case rule);

// The ending of a type's files, "kaf", "kgf", "tga" or "png"; null for none.
const char* type_ending(file_type type);

// The last three characters of a name (the whole name when shorter): the end
// of the name itself.
const char* last_three(const char* name);
