// What keeps the outputs of a run off its own inputs and off each other: an
// output never replaces a file the run reads, except a file converted to its
// own type in place, and no two outputs of one input share a name.
#pragma once

#include "formats/status.h"

#include <set>
#include <string>

// A bare file name that stays inside the folder it is joined to: not empty,
// not "." or "..", and no separator or drive colon in it.
bool is_plain_file_name(const char* name);

// How the system tells a path from others: absolute, its folder's links
// resolved, its last part kept as written, in the case the system compares
// names in.
std::string path_identity(const std::string& path);

// The files a run reads, added before the first output is written.
struct run_inputs {
    std::set<std::string> identities;
};

// Adds the input as written and, when it is a link, the file it leads to.
void add_run_input(run_inputs& inputs, const std::string& path);

// One input's outputs as they are named.
struct output_guard {
    const run_inputs* inputs = nullptr; // none: nothing is protected
    std::set<std::string> own_input;    // the input's identities, when it may be replaced
    std::set<std::string> written;      // the outputs this input already gave
};

// Starts the guard of one input: it may replace itself only when it is
// converted to its own type.
output_guard guard_for_input(const run_inputs* inputs, const std::string& input, bool same_type);

// ok, or why path may not be written: it is an input of the run
// (replaces_input), or an earlier output of this input (same_output).
// Records path as written when it may be.
kgf_status claim_output(output_guard& guard, const std::string& path);
