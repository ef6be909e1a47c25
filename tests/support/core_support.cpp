#include "support/core_support.h"

void PrintTo(const finding& found, std::ostream* out) {
    *out << "{" << status_text(found.status) << ", \"" << found.subject << "\"}";
}

report_sink recording_sink::sink() {
    report_sink out;
    out.context = this;
    out.warning = [](void* context, const kgf_failure& found) {
        static_cast<recording_sink*>(context)->findings.push_back({found.status, found.subject});
    };
    out.accept_long_name = [](void* context, const char* question) {
        auto* self = static_cast<recording_sink*>(context);
        self->questions.emplace_back(question);
        return self->answer;
    };
    out.long_name_answered = [](void* context, const char* question, bool written) {
        static_cast<recording_sink*>(context)->told.emplace_back(question, written);
    };
    return out;
}

kgf_status recording_sink::record(const failure_list& failures) {
    for (const kgf_failure& failure : failures.failures)
        findings.push_back({failure.status, failure.subject});
    return failures.status;
}

void put_u16(std::vector<uint8_t>& bytes, unsigned value) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void put_text(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
}

void put_runs(std::vector<uint8_t>& bytes, const std::vector<kgf_run>& runs) {
    for (const kgf_run& r : runs) {
        bytes.push_back(static_cast<uint8_t>(r.count));
        put_u16(bytes, r.value);
    }
}

std::vector<uint8_t> runs_bytes(const std::vector<kgf_run>& runs) {
    std::vector<uint8_t> bytes;
    put_runs(bytes, runs);
    return bytes;
}
