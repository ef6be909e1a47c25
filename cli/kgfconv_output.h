// kgfconv's console output: lines on standard output and error, the
// messages of the file being worked on, and the progress bar. Safe on the
// threads of a batch: each line is written whole.
#pragma once

#include "formats/output_file.h"
#include "formats/report.h"

#include <cstdio>
#include <string>
#include <string_view>

// Writes text to standard output or error; in a Windows console, as the
// characters it spells in the program's code page.
void write_text(FILE* stream, std::string_view text);

// The same for text formatted as printf formats it.
void print_to(FILE* stream, const char* pattern, ...) __attribute__((format(printf, 2, 3)));

// Shows the message layer's messages on standard error.
void install_console_messages();

// The sink of the core's warnings and notes: each printed on standard
// error naming the file it concerns (or held, see begin_file_messages), the
// name-length question printed with the answer the command's --yes gave
// beforehand.
report_sink console_sink();

// A status of this thread's file, printed or held as its other messages
// are; nothing for ok.
void file_status(kgf_status status, const char* subject);
void file_status(const kgf_failure& failure);

// A conversion's failures, after its warnings and notes. Held, each keeps
// its place among the failures of the outputs held before and after it,
// which are known only once those are written.
void file_failures(const failure_list& failures);

// The messages of this thread concern file from now on; with a journal they
// are held there instead of printed.
void begin_file_messages(const std::string& file, output_journal* journal);
void end_file_messages();

// A message of the system's about this thread's file: held or printed as
// its other messages are.
void file_message(const std::string& text);

// Prints "kgfconv: FILE: text" (the file named once when the text starts
// with it), or "kgfconv: text" when no file is concerned.
void print_file_message(const std::string& file, const std::string& text);

// Flushes standard output: status when everything printed reached it, or
// exit_failed after naming the failure ("kgfconv: standard output: No space
// left on device"); earlier_error is the reason of a failed flush before.
int finish_standard_output(int status, int earlier_error = 0);

// Prints a line of its own on standard error, such as a progress line,
// above the progress bar when one is shown.
void print_line(const std::string& line);

// The progress bar: one line on a terminal, updated in place, for batches
// of more than a handful of files unless quiet.
bool progress_bar_wanted(bool quiet, int count);
void start_progress(int count);
void show_progress(int done, int count, int failed);
void end_progress();
