#include "support/test_support.h"

#include "platform/message.h"
#include "routines/image_info.h"
#include "settings/settings.h"

namespace {
std::vector<recorded_message> recorded;
int recorded_answer = answer_no;

int record_message(const char* text, const char* caption, unsigned style) {
    recorded.push_back({text, caption, style});
    return (style & message_yes_no) ? recorded_answer : answer_ok;
}
} // namespace

message_recorder::message_recorder(int question_answer) {
    recorded.clear();
    recorded_answer = question_answer;
    set_message_handler(record_message);
}

message_recorder::~message_recorder() {
    set_message_handler(nullptr);
    recorded.clear();
}

std::vector<recorded_message>& message_recorder::messages() {
    return recorded;
}

std::vector<std::string> message_recorder::texts() const {
    std::vector<std::string> result;
    for (const auto& message : recorded)
        result.push_back(message.text);
    return result;
}

void message_recorder::clear() {
    recorded.clear();
}

void message_recorder::answer(int question_answer) {
    recorded_answer = question_answer;
}

void reset_routines_state() {
    set_default_settings();
    image_info = image_info_record{};
}

std::vector<std::string> without_reasons(std::vector<std::string> texts) {
    for (std::string& text : texts) {
        const size_t reason = text.rfind(": ");
        if (text.rfind("Cannot ", 0) == 0 && reason != std::string::npos)
            text.resize(reason);
    }
    return texts;
}
