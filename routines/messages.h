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

// A sink that shows each finding with report_status and asks the
// name-length question with Yes and No. A finding about no file in
// particular is about file, when given, and so is a frame cut short: the
// file's name goes on the line before it.
report_sink message_box_sink(const char* file = nullptr);
