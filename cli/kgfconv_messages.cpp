#include "cli/kgfconv.h"

#include "platform/message.h"

#include <cstdio>

namespace {

bool yes_to_questions = false;

int print_message(const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (style & message_yes_no) {
        const bool yes = yes_to_questions;
        if (yes)
            std::fprintf(stderr, "kgfconv: answered Yes (--yes)\n");
        else
            std::fprintf(stderr, "kgfconv: answered No; the file is skipped (--yes converts it)\n");
        return yes ? answer_yes : answer_no;
    }
    return answer_ok;
}

} // namespace

void install_console_messages(bool answer_yes) {
    yes_to_questions = answer_yes;
    set_message_handler(print_message);
}
