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
    // The outputs are held back and written when every earlier file is
    // done: what earlier files wrote is known only then, so the checks that
    // depend on it are made then, with claim_held_output.
    bool held = false;
};

// Starts the guard of one input: it may replace itself only when it is
// converted to its own type.
output_guard guard_for_input(run_inputs* inputs, const std::string& input, bool same_type);

// ok, or why path may not be written: it is an input of the run
// (replaces_input), an earlier output of this input (same_output), or a
// file an earlier file of the run wrote (earlier_output). Records path as
// this input's when it may be.
kgf_status claim_output(output_guard& guard, const std::string& path);

// For an output held back, as it is written in turn: same_output when
// this input gave it already, earlier_output when an earlier file of the
// run wrote path, else ok and path recorded as this input's; the checks and
// their order of claim_output for an output written at once.
kgf_status claim_held_output(output_guard& guard, const std::string& path);

// Records path as written by the run: only a file in place is one that a
// later file may not replace, so that a failed write is never said to be
// an earlier file's output.
void record_run_output(run_inputs* inputs, const std::string& path);
