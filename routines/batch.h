// The dialog program's batch, without its windows: counting the selection,
// deciding the input type from the process-wide texts, choosing the action
// and running its routine per name.
#pragma once

#include "convert/batch_decisions.h"
#include "formats/output_guard.h"

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t selection_buffer_bytes = 40000;
constexpr int description_bytes = 256;

// Texts of string-table entries 1 to 4: KAF, KGF, TGA, PNG.
constexpr int format_count = 4;
extern char format_descriptions[format_count][description_bytes];
extern char input_type_text[description_bytes];
extern char output_type_text[description_bytes];
extern bool cancel_requested;

// Fills format_descriptions with the program's own four texts.
void init_format_descriptions();

// Names in a selection buffer laid out as the file dialog gives it: one full
// path, or a folder then names, each ended by a terminator, then a second
// terminator. Counting starts at name_offset and never leaves the buffer.
int count_selection_names(const char* buffer, size_t size, size_t name_offset);

// Whether the selection ends within the buffer: a dialog that cuts a list too
// long for the buffer leaves its last name without the closing terminators.
bool selection_fits(const char* buffer, size_t size, size_t name_offset);

// Sets input_type_text as input_type_for decides it from
// format_descriptions.
void decide_input_type(int filter_index, const char* first_name);

// The action action_for gives output_type_text and input_type_text.
batch_action choose_action();

// Shows the message of a message row (sorry, unsupported); nothing otherwise.
void show_action_message(batch_action action);

// Called after each file: its 1-based position, the count, the name as the
// action left it and whether it converted.
using batch_progress = void (*)(void* context, int done, int count, const char* name, int ok);

// What became of a batch's files.
struct batch_outcome {
    int count = 0;                         // files selected
    int converted = 0;                     // files whose every output was written
    int failed = 0;                        // files tried that failed
    std::vector<std::string> failed_names; // the first few, as selected
    bool cancelled = false;                // files were left when Cancel stopped it
    // The output folder could not be made or written: said once, by name,
    // and the batch ended there.
    bool folder_failed = false;
    // Levels of no pixels left out of the outputs, one entry a file ("a.kgf:
    // levels 4 to 5"), told at the end rather than once per file.
    std::vector<std::string> levels_left_out;
    kgf_status levels_note = kgf_status::empty_levels; // the TGA or the PNG output's
};

// Failed names a batch keeps for its status.
constexpr size_t failed_names_kept = 5;

// Runs a per-file action over count names from name_offset, with folder as
// the output folder, testing cancel_requested before each file. The folder
// is made first, with its parents; when no file can be written into it the
// batch says so once and ends, and it does the same when a file fails
// because the folder went. No output replaces a selected file, except a
// file converted to its own type. A file shows at most one message (its
// first failure), naming the file; questions are always asked.
batch_outcome convert_selection(batch_action action, char* buffer, size_t size, size_t name_offset,
                                int count, char* folder, batch_progress progress, void* context);

// The "Status" text at the end of a batch that failed somewhere, left
// levels out or was cancelled: files converted, files failed with the first
// few names, the levels left out, and the cancel. Empty for a batch that
// converted every file whole.
std::string batch_status_text(const batch_outcome& outcome);

// Shows batch_status_text under the caption "Status", when there is any.
void show_batch_status(const batch_outcome& outcome);
