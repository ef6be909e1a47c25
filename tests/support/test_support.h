// Helpers for tests of the routines and the front ends: a message recorder
// and the routines' process-wide state, over the core's helpers.
#pragma once

#include "support/core_support.h"
#include "support/file_support.h"

#include <string>
#include <vector>

struct recorded_message {
    std::string text;
    std::string caption;
    unsigned style;
};

// Installs a handler that records every message and answers questions with
// the given answer (answer_yes or answer_no); removes it on destruction.
struct message_recorder {
    explicit message_recorder(int question_answer = 7);
    ~message_recorder();
    message_recorder(const message_recorder&) = delete;
    message_recorder& operator=(const message_recorder&) = delete;

    std::vector<recorded_message>& messages();
    std::vector<std::string> texts() const;
    void clear();
    void answer(int question_answer);
};

// The texts with the system's reason cut from every "Cannot ..." message,
// for checks that hold on every platform (the reasons are worded by each).
std::vector<std::string> without_reasons(std::vector<std::string> texts);

// Resets the routines' process-wide state, settings to their defaults and
// image_info to zeros, which the routines and front ends read and fill. The
// core uses neither, and its tests cannot reach this.
void reset_routines_state();
