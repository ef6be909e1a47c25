// The dialog program's conversion routines: the output folder as a 256-byte
// text and the input's bare name, opened from the current folder; the
// stored settings; each failure shown as a message once the file is done,
// after its questions and notes.
#pragma once

#include "convert/batch_decisions.h"
#include "convert/convert.h"
#include "formats/output_guard.h"

#include <string>
#include <vector>

// Each routine takes the output folder (a 256-byte text that gains a
// trailing separator) and the input's bare name (changed in place by a KGF
// output: its last three characters become "kgf"). Each returns 1 when the
// input was read and every output file was written, 0 otherwise.
int convert_kgf_to_tga(char* folder, char* name);
int convert_tga_to_kgf(char* folder, char* name);
int convert_tga_to_tga(char* folder, char* name);
int convert_kgf_to_kgf(char* folder, char* name);
int convert_kaf_to_tga(char* folder, char* name);
// KAF to KGF is the splitter alone; the frame names are released at once.
int convert_kaf_to_kgf(char* folder, char* name);

// The batch running now, as the routines above see it: its inputs, which no
// output may replace, and the notes on levels of no pixels left out, kept
// for the batch's end rather than shown once per file. Set by the batch for
// its length (the dialog runs one batch at a time, on its thread); outside
// a batch nothing is protected and every note is shown.
struct batch_context {
    run_inputs* inputs = nullptr;
    std::vector<std::string>* levels_left_out = nullptr;
    kgf_status* levels_note = nullptr; // which note: the TGA or the PNG output's
};
class batch_context_scope {
  public:
    explicit batch_context_scope(const batch_context& context);
    ~batch_context_scope();
    batch_context_scope(const batch_context_scope&) = delete;
    batch_context_scope& operator=(const batch_context_scope&) = delete;

  private:
    batch_context outer_;
};

// The conversion of the pair (from, to) as the routines run it, within the
// batch running now, if any.
int convert_in_batch(file_type from, file_type to, char* folder, char* name);

// The routine a batch runs per file for an action: one of the six above;
// null for a pair that has none of its own (PNG's), which the batch runs
// through convert_in_batch.
using conversion_routine = int (*)(char* folder, char* name);
conversion_routine routine_of(batch_action action);
