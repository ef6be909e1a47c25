// The dialog program's messages: every finding of the core shown at once in
// a message box without owner, through the platform's message function.
#pragma once

#include "formats/report.h"

// Shows the status's text with subject put in for "%s"; nothing for ok.
void report_status(kgf_status status, const char* subject);

// A sink that shows each finding with report_status and asks the
// name-length question with Yes and No.
report_sink message_box_sink();
