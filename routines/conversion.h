// The dialog program's conversion routines: the output folder as a 256-byte
// text and the input's bare name, opened from the current folder; the
// stored settings; every failure shown at once as a message.
#pragma once

#include "convert/convert.h"
#include "formats/output_guard.h"

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

// The routine of the pair (from, to) run inside a batch, whose inputs no
// output may replace (none: nothing protected).
int convert_in_batch(file_type from, file_type to, char* folder, char* name, run_inputs* inputs);
