// The dialog program's messages: every finding of the core shown at once in
// a message box without owner, through the platform's message function.
#pragma once

#include "formats/report.h"

#include <string>

// The text of an error whose own words name no file, such as "File is
// missing some data; do not use": the file's name on the line before it,
// so that a box in a batch of many says which file it is about. Other
// texts stay as they are.
std::string error_text(kgf_status status, const char* subject, int system_error = 0);

// Shows the status's text with subject put in for "%s" (or on the line
// before a text that names no file) and the system's reason, when there
// is one; nothing for ok.
void report_status(kgf_status status, const char* subject, int system_error = 0);

// Shows a failure (or a warning) with report_status. One about no file in
// particular is about file, when given, and so is a frame cut short: the
// file's name goes on the line before it.
void show_failure(const kgf_failure& failure, const char* file = nullptr);

// Shows each failure of a list, in order, as show_failure does.
void show_failures(const failure_list& failures, const char* file = nullptr);

// A sink that shows each warning and note as show_failure does and asks
// the name-length question with Yes and No.
report_sink message_box_sink(const char* file = nullptr);
