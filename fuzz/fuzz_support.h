// What the fuzz targets share: a quiet core, options taken from the input's
// first byte, and one scratch folder per process for conversions to write
// into.
#pragma once

#include "convert/convert.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Makes the process ready for the targets; runs its work once per process.
// The conversions' findings are dropped, their question answered as the
// run's options say.
void fuzz_setup();

// The options of one run, from the bits of one input byte: levels 1, 5, 0
// or 255, depth 24 or 32, all levels on or off, one of four suffixes, a
// name the game cannot read, and the answer to the question it raises.
struct fuzz_options {
    conversion_options options;
    const char* name = "";
};

fuzz_options options_from_byte(uint8_t bits, file_type from);

// The quality options of an input that ends in "KGFQ" and one byte (its low
// three bits); the trailer is then taken off the input. Inputs without it
// convert with none, as they always have.
kgf_quality quality_from_trailer(const uint8_t* data, size_t& size);

// The process's scratch folder, ending in a separator, emptied of whatever
// an earlier run wrote into it; removed when the process ends.
const std::string& empty_scratch_folder();

// Aborts when the folder holds one of the writers' temporary files: every
// output is either in place or gone.
void check_no_temporaries(const std::string& folder);

// Converts the file data[1, size) of the given type, with the options of
// data[0] and of the trailer, into the scratch folder.
int fuzz_conversion(file_type from, file_type to, const uint8_t* data, size_t size);
