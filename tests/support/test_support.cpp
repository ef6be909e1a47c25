#include "support/test_support.h"

#include "platform/files.h"
#include "platform/message.h"
#include "routines/image_info.h"
#include "settings/settings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

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

scratch_folder::scratch_folder() {
    static std::atomic<int> counter{0};
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("kgf-test-" + std::to_string(counter++) + "-" +
                                     std::to_string(static_cast<unsigned>(std::rand())));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path = path_text(candidate);
            return;
        }
    }
}

scratch_folder::~scratch_folder() {
    std::error_code error;
    fs::remove_all(path, error);
}

// Names go through the platform's own conversion: a path made from a
// narrow string directly takes its bytes as Latin-1 on Windows, whatever
// the code page, and mangles every other name.
std::string scratch_folder::file(const std::string& name) const {
    return path_text(text_path(path) / text_path(name));
}

std::string scratch_folder::folder_text() const {
    return path + static_cast<char>(fs::path::preferred_separator);
}

current_folder_change::current_folder_change(const std::string& folder) {
    // Names as the program spells them: in its code page.
    previous = path_text(fs::current_path());
    fs::current_path(text_path(folder));
}

current_folder_change::~current_folder_change() {
    std::error_code error;
    fs::current_path(text_path(previous), error);
}

std::vector<uint8_t> read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_file_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    std::error_code error;
    return fs::exists(text_path(path), error);
}

std::vector<std::string> list_folder(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(text_path(path), error))
        names.push_back(path_text(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

void put_u16(std::vector<uint8_t>& bytes, unsigned value) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void put_text(std::vector<uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
}

void reset_core_state() {
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
