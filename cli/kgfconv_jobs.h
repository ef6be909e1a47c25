// Runs the files of a batch on several threads while everything the user
// sees (messages, progress, the files written) comes out as if they had been
// converted one after another, in the order given.
#pragma once

#include "formats/output_file.h"
#include "formats/output_guard.h"

#include <functional>
#include <string>

struct job_outcome {
    int ok = 0;
    std::string shown_name; // the name the progress line shows
};

// One file's work. When journal is set the job must hold its outputs there
// (and its messages are caught into it); otherwise it writes and reports at
// once, as every earlier file is finished.
using job_work = std::function<job_outcome(int index, output_journal* journal)>;

// Called on the calling thread for each file in order, once it is finished
// and its held outputs are written: the index and whether it all succeeded.
using job_done = std::function<void(int index, const job_outcome& outcome)>;

struct job_plan {
    int count = 0;
    int threads = 1;
    // 1 for a file that may only start once every earlier one is finished:
    // one whose input an earlier file could write.
    std::function<int(int index)> must_wait;
    // The file a message concerns, to name on its line.
    std::function<std::string(int index)> file_of;
    // The run whose outputs no later file replaces: each output held back is
    // claimed for it as it is written, in the order of the files.
    run_inputs* run = nullptr;
};

// Threads a batch runs on at most, whatever is asked: each file ahead of its
// turn holds its outputs in memory, and no more files than threads are ever
// started and not yet finished in turn.
constexpr int most_threads = 64;

// Writes what a file held back, in the order it happened, and shows its
// messages; an output that an earlier file wrote, or that cannot be written,
// fails the file (0).
int release_held(const std::string& file, output_journal& journal, run_inputs* run);

// Runs every job and returns the number that failed.
int run_jobs(const job_plan& plan, const job_work& work, const job_done& done);
