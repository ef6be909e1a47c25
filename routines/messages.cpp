#include "routines/messages.h"

#include "platform/message.h"

namespace {

void show_finding(void*, kgf_status status, const char* subject) {
    report_status(status, subject);
}

bool ask_about_long_name(void*, const char* question) {
    return show_message(question, "Error", message_yes_no) == answer_yes;
}

} // namespace

void report_status(kgf_status status, const char* subject) {
    if (status == kgf_status::ok)
        return;
    if (status == kgf_status::conversion_terminated || status == kgf_status::empty_levels) {
        show_message(status_message(status, subject).c_str(), status_caption(status), message_ok);
        return;
    }
    show_error(status_message(status, subject).c_str());
}

report_sink message_box_sink() {
    report_sink sink;
    sink.report = show_finding;
    sink.accept_long_name = ask_about_long_name;
    return sink;
}
