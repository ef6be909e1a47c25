// What keeps the outputs of a run off its own inputs and off each other: an
// output never replaces a file the run reads, except a file converted to its
// own type in place, and no two outputs of the run share a name.
#pragma once

#include "formats/status.h"

#include <mutex>
#include <set>
#include <string>

// A bare file name that stays inside the folder it is joined to: not empty,
// not "." or "..", and no separator or drive colon in it.
bool is_plain_file_name(const char* name);

// How the system tells a path from others: absolute, its folder's links
// resolved, its last part kept as written, in the case the system compares
// names in.
std::string path_identity(const std::string& path);

// The files a run reads, added before the first output is written, and the
// outputs its files have claimed so far, in the order the files are given.
struct run_inputs {
    std::set<std::string> identities;
    std::mutex lock; // files claim outputs from worker threads
    std::set<std::string> outputs;
};

// Adds the input as written and, when it is a link, the file it leads to.
void add_run_input(run_inputs& inputs, const std::string& path);

// One input's outputs as they are named.
struct output_guard {
    run_inputs* inputs = nullptr;    // none: nothing is protected
    std::set<std::string> own_input; // the input's identities, when it may be replaced
    std::set<std::string> written;   // the outputs this input already gave
    // The outputs are held back and written once every earlier file is
    // done: the run records them then, with claim_run_output.
    bool held = false;
};

// Starts the guard of one input: it may replace itself only when it is
// converted to its own type.
output_guard guard_for_input(run_inputs* inputs, const std::string& input, bool same_type);

// ok, or why path may not be written: it is an input of the run
// (replaces_input), an earlier output of this input (same_output), or an
// output an earlier file of the run claimed (earlier_output). Records path
// as written when it may be.
kgf_status claim_output(output_guard& guard, const std::string& path);

// Records path as an output of the run, or earlier_output when an earlier
// file of the run claimed it: for outputs held back, as they are written.
kgf_status claim_run_output(run_inputs& inputs, const std::string& path);
