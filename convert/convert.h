// Turning one input file into its output file or files.
#pragma once

#include "formats/image_buffer.h"

constexpr int path_bytes = 256; // folder and joined output paths

// Each routine takes the output folder (a 256-byte text that gains a
// trailing separator) and the input's bare name (changed in place by a KGF
// output: its last three characters become "kgf"). Each returns 1 when the
// input was read and every output file was written, 0 otherwise.
int convert_kgf_to_tga(char* folder, char* name);
int convert_tga_to_kgf(char* folder, char* name);
int convert_tga_to_tga(char* folder, char* name);
int convert_kgf_to_kgf(char* folder, char* name);
int convert_kaf_to_tga(char* folder, char* name);
// KAF to KGF is the splitter alone; the frame names are released at once.
int convert_kaf_to_kgf(char* folder, char* name);

// Writing drivers. Both release the two pixel blocks before returning and
// return 1 when every output file was written.
int save_as_kgf(char* folder, char* name, image_buffer& source, image_buffer& destination);
int save_as_tga(char* folder, char* name, image_buffer& source, image_buffer& destination);

// The last three characters of a name (the whole name when shorter), in one
// static buffer that every call overwrites.
const char* last_three(const char* name);

// Appends the platform's separator to a 256-byte folder text when missing.
// Returns 0 (text unchanged) when it would not fit.
int ensure_trailing_separator(char* folder);
