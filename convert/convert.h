// Turning one input file into its output file or files.
#pragma once

#include "convert/file_type.h"
#include "formats/image_buffer.h"
#include "formats/kgf_quality.h"
#include "formats/limits.h"
#include "formats/output_file.h"
#include "formats/output_guard.h"
#include "formats/report.h"

#include <string>

// The settings a conversion reads, fixed for a whole batch.
struct conversion_options {
    uint8_t num_mipmaps = 1;                 // levels of every KGF written
    uint8_t bpp = 24;                        // depth of TGA files: 24, else 32
    uint8_t mipmaps = 0;                     // 1: a TGA file per level of a KGF input
    char suffix[suffix_bytes] = {};          // between base name and level number
    kgf_quality quality = kgf_quality::none; // how KGF chains are made
};

struct conversion_request {
    file_type from = file_type::none;
    file_type to = file_type::none;
    const char* input = "";               // opened as given, or the name of ...
    const uint8_t* input_bytes = nullptr; // ... the file's bytes when held in memory
    size_t input_size = 0;
    const char* folder = ""; // output folder, ending in a separator
    conversion_options options;
    output_journal* journal = nullptr;  // outputs held back, or written at once
    const run_inputs* inputs = nullptr; // the run's inputs: no output replaces one
    bool report_cannot_open = false;    // the dialog lists only files that are there
    report_sink sink;                   // where failures, warnings and the question go
};

// Converts one file into the folder. Returns 1 when the input was read and
// every output was written. An output that would replace another input of
// the run, or an earlier output of this one, is refused by name and fails
// the file; a file converted to its own type may replace itself. shown_name gets the input's bare
// name as the batch shows it afterwards: ending in "kgf" once a KGF was written.
int convert_file(const conversion_request& request, std::string& shown_name);

// The writing drivers beneath convert_file, for a source already read: one
// KGF file named after name, or its TGA files, each output claimed from the
// guard. Both release the two pixel blocks and return 1 when every output
// file was written.
int write_kgf_output(const conversion_request& request, output_guard& guard,
                     const std::string& name, image_buffer& source, image_buffer& destination,
                     std::string& shown_name);
int write_tga_outputs(const conversion_request& request, output_guard& guard,
                      const std::string& name, image_buffer& source, image_buffer& destination);

// Appends the platform's separator to a 256-byte folder text when missing.
// Returns 0 (text unchanged) when it would not fit.
int ensure_trailing_separator(char* folder);
