// Where the core's findings that are not results go: warnings, notes and
// the name-length question. Failures come back in what a call returns. The
// core shows nothing itself: whoever calls it turns each finding into a
// message box, a line on standard error or an entry held for later. A sink
// without functions drops them.
#pragma once

#include "formats/status.h"

#include <cstdint>
#include <string>

// What becomes of a KGF whose name the game cannot read (its name with the
// terminator longer than 36 bytes).
enum class long_name_answer : uint8_t {
    ask,    // the sink's question decides
    write,  // written all the same; the sink is told the question and the answer
    refuse, // not written and the file fails; the sink is told as well
};

struct report_sink {
    // A warning or a note (is_warning), with what it concerns.
    void (*warning)(void* context, const kgf_failure& finding) = nullptr;
    // The question before a KGF whose name the game cannot read: true to
    // write it all the same. Without it the answer is No.
    bool (*accept_long_name)(void* context, const char* question) = nullptr;
    // The same question when the caller answered it beforehand: written
    // tells the answer. Nothing is asked.
    void (*long_name_answered)(void* context, const char* question, bool written) = nullptr;
    void* context = nullptr;
};

// Hands a warning or a note to the sink, about subject (null for none).
void warn(const report_sink& sink, kgf_status warning, const char* subject);

// Asks the sink the name-length question.
bool accept_long_name(const report_sink& sink, const char* question);

// Tells the sink the name-length question and the answer given beforehand.
void tell_long_name_answer(const report_sink& sink, const char* question, bool written);

// Whether a KGF that holds this name is written: a name the game cannot
// read is asked about, or written or refused as answer says, the sink told.
bool kgf_name_accepted(const std::string& name, long_name_answer answer, const report_sink& sink);
