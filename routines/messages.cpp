#include "routines/messages.h"

#include "platform/message.h"

#include <cstring>

namespace {

void show_finding(void* context, const kgf_failure& finding) {
    show_failure(finding, static_cast<const char*>(context));
}

bool ask_about_long_name(void*, const char* question) {
    return show_message(question, "Error", message_yes_no) == answer_yes;
}

} // namespace

std::string error_text(kgf_status status, const char* subject, int system_error) {
    const bool names_subject = std::strstr(status_text(status), "%s") != nullptr;
    if (names_subject || subject == nullptr || subject[0] == '\0')
        return status_message(status, subject, system_error);
    return std::string(subject) + "\n" + status_message(status, subject, system_error);
}

void report_status(kgf_status status, const char* subject, int system_error) {
    if (status == kgf_status::ok)
        return;
    if (status == kgf_status::conversion_terminated || is_levels_note(status)) {
        show_message(status_message(status, subject).c_str(), status_caption(status), message_ok);
        return;
    }
    show_error(error_text(status, subject, system_error).c_str());
}

void show_failure(const kgf_failure& failure, const char* file) {
    const kgf_status status = failure.status;
    const char* subject = failure.subject.empty() ? nullptr : failure.subject.c_str();
    // A frame cut short is named by the frame: the file goes before it.
    if (status == kgf_status::frame_missing_data && file != nullptr && subject != nullptr) {
        show_error((std::string(file) + "\n" + status_message(status, subject)).c_str());
        return;
    }
    report_status(status, subject != nullptr ? subject : file, failure.system_error);
}

void show_failures(const failure_list& failures, const char* file) {
    for (const kgf_failure& failure : failures.failures)
        show_failure(failure, file);
}

report_sink message_box_sink(const char* file) {
    report_sink sink;
    sink.warning = show_finding;
    sink.accept_long_name = ask_about_long_name;
    sink.context = const_cast<char*>(file);
    return sink;
}
