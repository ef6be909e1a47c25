// Helpers for tests of the core: bytes in memory instead of files, and a
// sink that keeps the core's findings instead of showing them. They link the
// core alone.
#pragma once

#include "convert/convert.h"
#include "formats/byte_reader.h"
#include "formats/report.h"
#include "formats/status.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Little-endian builders for hand-made files.
void put_u16(std::vector<uint8_t>& bytes, unsigned value);
void put_text(std::vector<uint8_t>& bytes, const std::string& text); // with its NUL

// One record of the KGF run-length code: a count (0 stands for one pixel)
// and a 16-bit pixel.
struct kgf_run {
    int count;
    unsigned value;
};
void put_runs(std::vector<uint8_t>& bytes, const std::vector<kgf_run>& runs);
std::vector<uint8_t> runs_bytes(const std::vector<kgf_run>& runs);

// A reader over bytes the caller keeps alive.
inline byte_reader reader_of(const std::vector<uint8_t>& bytes) {
    return memory_reader(bytes.data(), bytes.size());
}

// One finding as the core reported it: the status and what it concerns
// (empty for none).
struct finding {
    kgf_status status;
    std::string subject;
    bool operator==(const finding&) const = default;
};

void PrintTo(const finding& found, std::ostream* out);

// Keeps every finding and every name-length question, and answers the
// questions with answer.
struct recording_sink {
    std::vector<finding> findings;
    std::vector<std::string> questions;
    bool answer = false;
    // Questions answered beforehand by the caller, each with its answer.
    std::vector<std::pair<std::string, bool>> told;

    // A sink that records into this one; valid while it lives.
    report_sink sink();
    // Keeps a call's failures after the warnings it told, as the front ends
    // show them, and hands its status on.
    kgf_status record(const failure_list& failures);
};

// One convert_file over memory: the input's bytes in the request, the
// outputs held in a journal under the folder "out", the findings and the
// name-length questions recorded.
using held_outputs = std::map<std::string, std::vector<uint8_t>>;
struct memory_conversion {
    conversion_request request;
    output_journal journal;
    recording_sink recorded;

    memory_conversion(file_type from, file_type to, const char* input,
                      const std::vector<uint8_t>& bytes);
    memory_conversion(const memory_conversion&) = delete;
    memory_conversion& operator=(const memory_conversion&) = delete;

    conversion_result run();      // afresh: what an earlier run held is dropped
    held_outputs outputs() const; // by name; each must lie in the folder
    std::vector<std::string> output_names() const;
};
