// An output file is written beside its final name, under a temporary name
// that is recognisably this program's own, and moved into place only once it
// is complete: a failed or killed write never destroys an existing file and
// never leaves a partial one under the final name.
#pragma once

#include "formats/output_guard.h"
#include "formats/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a batch holds back until its turn: the messages and the finished
// outputs of one input, in the order they happened.
struct journal_entry {
    bool is_output = false;
    bool is_failure = false; // a message that is one of the file's failures
    std::string text;        // a message ...
    std::string folder;      // ... or an output: its folder, path and bytes,
    std::string path;
    std::vector<uint8_t> bytes;
    size_t failures_before = 0; // and how many of the file's failures came before it
};

struct output_journal {
    std::vector<journal_entry> entries;
};

// Writes bytes as the file at path, through a temporary file of its own in
// the same folder. Returns ok, cannot_create or cannot_write about the path,
// with the system's reason; the final name keeps its old file unless ok.
kgf_failure write_output_file(const char* path, const uint8_t* bytes, size_t size);

// Makes the output folder with its parents and writes a file into it (a
// temporary one, removed at once): ok, cannot_make_folder or
// cannot_write_folder about the folder, with the system's reason. A batch
// asks before its first file, so that a folder no file can go to is said
// once.
kgf_failure prepare_output_folder(const char* folder);

// Makes the folder with every missing parent. Returns ok when nothing had
// to be made or all was made, else folder_not_made about the folder that
// could not be made, with the system's reason. A path there that is no
// folder is left for the write to name.
kgf_failure make_output_folder(const std::string& folder);

// Makes the folder and writes the file: ok, the failure of the write about
// the output's path ("Cannot create %s", "Cannot write %s"), or
// folder_not_made about the folder that could not be made ("... for
// path"). Records the file for the run when there is one and it is in
// place.
kgf_failure write_output_now(const char* folder, const std::string& path,
                             const std::vector<uint8_t>& bytes, run_inputs* run = nullptr);

// Writes the output now, or holds it in the journal when there is one (ok),
// after the file's failures so far: a failure to write it later takes its
// place among them.
kgf_failure deliver_output(output_journal* journal, const char* folder, const std::string& path,
                           std::vector<uint8_t>&& bytes, run_inputs* run,
                           const failure_list& failures_so_far);

// 1 when the name is one of this program's temporary names; sets the id of
// the process that made it.
int is_temporary_name(const std::string& name, unsigned long& process_id);

// Removes the temporary files that writers killed before they finished left
// in the folder, and nothing else. Returns how many were removed.
int remove_stale_temporaries(const char* folder);
