#include "support/core_support.h"

void PrintTo(const finding& found, std::ostream* out) {
    *out << "{" << status_text(found.status) << ", \"" << found.subject << "\"}";
}

report_sink recording_sink::sink() {
    report_sink out;
    out.context = this;
    out.report = [](void* context, kgf_status status, const char* subject) {
        static_cast<recording_sink*>(context)->findings.push_back(
            {status, subject != nullptr ? subject : ""});
    };
    out.accept_long_name = [](void* context, const char* question) {
        auto* self = static_cast<recording_sink*>(context);
        self->questions.emplace_back(question);
        return self->answer;
    };
    return out;
}
