#include "platform/message.h"

#include <cstdio>

// Without a front end's handler, messages go to standard error and questions
// are answered No, so nothing is ever written on an unasked Yes.
int platform_default_message(const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return (style & message_yes_no) ? answer_no : answer_ok;
}
