#include "support/core_support.h"

#include "platform/files.h"

#include <gtest/gtest.h>

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

memory_conversion::memory_conversion(file_type from, file_type to, const char* input,
                                     const std::vector<uint8_t>& bytes) {
    request.from = from;
    request.to = to;
    request.input = input;
    request.input_bytes = bytes.data();
    request.input_size = bytes.size();
    request.folder = "out"; // the core adds the separator
    request.journal = &journal;
    request.sink = recorded.sink();
}

conversion_result memory_conversion::run() {
    journal.entries.clear();
    recorded.findings.clear();
    recorded.questions.clear();
    recorded.told.clear();
    conversion_result result = convert_file(request);
    recorded.record(result);
    return result;
}

held_outputs memory_conversion::outputs() const {
    held_outputs held;
    const std::string folder = std::string("out") + path_separator;
    for (const journal_entry& entry : journal.entries) {
        if (!entry.is_output)
            continue;
        EXPECT_EQ(entry.path.rfind(folder, 0), 0u) << entry.path;
        held[entry.path.substr(folder.size())] = entry.bytes;
    }
    return held;
}

std::vector<std::string> memory_conversion::output_names() const {
    std::vector<std::string> names;
    for (const auto& output : outputs())
        names.push_back(output.first);
    return names;
}
