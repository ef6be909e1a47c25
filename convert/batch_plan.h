// A batch planned once, before its first file is converted: what becomes of
// each input, by which conversion, into which folder, and which inputs an
// earlier file of the run may write. Everything is decided from the inputs
// alone and in the order given, so that however many files run at once the
// run makes the same decisions; both the dialog, one file at a time, and
// kgfconv, on several threads, carry out such a plan.
#pragma once

#include "convert/batch_decisions.h"
#include "convert/file_type.h"
#include "formats/output_guard.h"

#include <cstdint>
#include <string>
#include <vector>

// What a front end found at an input's name before the batch.
enum class input_state : uint8_t {
    file,       // a file, or a name to open as one
    folder,     // a folder given where a file was asked for
    missing,    // a name that names nothing
    unreadable, // a folder below which nothing could be listed
};

struct batch_input {
    std::string path;                 // opened as given
    file_type type = file_type::none; // none: no type is known
    std::string output_dir;           // its outputs' folder, separator or not
    input_state state = input_state::file;
    std::string reason; // why an unreadable folder could not be listed
};

// What the plan decided for one input, in the order the failures come
// before any conversion.
enum class job_verdict : uint8_t {
    convert,         // converted by its pair
    is_folder,       // a folder: fails without converting
    unreadable,      // a folder that could not be listed: fails
    missing,         // fails as any input that will not open
    no_conversion,   // no pair of its type and the output's: fails
    folder_too_long, // its output folder's path does not fit: fails
};

struct batch_job {
    std::string input;
    std::string reason; // the input's, for an unreadable folder
    batch_action action = batch_action::unsupported;
    file_type from = file_type::none;
    file_type to = file_type::none;
    std::string output_dir; // the output folder as given
    // The output folder ending in its separator; empty when too long.
    std::string folder;
    job_verdict verdict = job_verdict::convert;
    // An earlier job writes into this input's folder: this one starts only
    // when every earlier job is finished, so that it reads what they left.
    bool after_earlier = false;
};

struct batch_plan {
    std::vector<batch_job> jobs; // one per input, in the order given
    // Each output folder once, in the order first used: what killed runs
    // left in them goes before the first file.
    std::vector<std::string> output_folders;
};

// Plans the conversion of every input to the type to.
batch_plan plan_batch(const std::vector<batch_input>& inputs, file_type to);

// The number of jobs but those of files no conversion takes: a run with
// none has nothing to convert.
int jobs_with_a_type(const batch_plan& plan);

// Adds every job's input but a folder to the run, before the first output
// is written: no output then replaces one, whatever the order of the files.
void add_plan_inputs(run_inputs& run, const batch_plan& plan);
