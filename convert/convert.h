// Turning one input file into its output file or files.
#pragma once

#include "convert/file_type.h"
#include "formats/kgf.h"
#include "formats/kgf_quality.h"
#include "formats/limits.h"
#include "formats/output_file.h"
#include "formats/output_guard.h"
#include "formats/report.h"
#include "formats/status.h"

#include <cstdint>
#include <string>

// The settings a conversion reads, fixed for a whole batch.
struct conversion_options {
    uint8_t num_mipmaps = 1;                             // levels of every KGF written
    uint8_t bpp = 24;                                    // depth of TGA files: 24, else 32
    kgf_levels kgf_levels_read = kgf_levels::first_only; // from_file: a TGA file per level
    char suffix[suffix_bytes] = {};                      // between base name and level number
    kgf_quality quality = kgf_quality::none;             // how KGF chains are made
    long_name_answer long_names = long_name_answer::ask;
};

struct conversion_request {
    file_type from = file_type::none;
    file_type to = file_type::none;
    const char* input = "";               // opened as given, or the name of ...
    const uint8_t* input_bytes = nullptr; // ... the file's bytes when held in memory
    size_t input_size = 0;
    std::string folder; // output folder; its separator is added when missing
    conversion_options options;
    output_journal* journal = nullptr; // outputs held back, or written at once
    run_inputs* inputs = nullptr;      // the run's inputs: no output replaces one
    bool report_cannot_open = false;   // the dialog lists only files that are there
    report_sink sink;                  // where warnings, notes and the question go
};

// status: ok when the input was read and every output was written;
// otherwise the first failure's, or conversion_terminated when the file
// failed with nothing more to show (a long name not written). failures:
// each failure met, in order, for the caller to show after the file's
// warnings and notes.
struct conversion_result : failure_list {
    // The input's bare name as the batch shows it afterwards: ending in
    // "kgf" once a KGF was written.
    std::string shown_name;
};

// Converts one file into the folder. An output that would replace another
// input of the run, or an earlier output of this one, is refused by name and
// fails the file; a file converted to its own type may replace itself.
conversion_result convert_file(const conversion_request& request);
