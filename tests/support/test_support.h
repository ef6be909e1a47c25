// Shared test helpers: a message recorder, scratch folders, file bytes.
#pragma once

#include <cstdint>
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

// A fresh empty folder for one test, removed with its contents afterwards.
struct scratch_folder {
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    std::string path;                                // without trailing separator
    std::string file(const std::string& name) const; // path + separator + name
    std::string folder_text() const;                 // path + separator
};

// Changes the current folder for the lifetime of the object.
struct current_folder_change {
    explicit current_folder_change(const std::string& folder);
    ~current_folder_change();
    std::string previous;
};

std::vector<uint8_t> read_file_bytes(const std::string& path);
void write_file_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool file_exists(const std::string& path);
std::vector<std::string> list_folder(const std::string& path); // sorted names

// Little-endian builders for hand-made files.
void put_u16(std::vector<uint8_t>& bytes, unsigned value);
void put_text(std::vector<uint8_t>& bytes, const std::string& text); // with its NUL

// The texts with the system's reason cut from every "Cannot ..." message,
// for checks that hold on every platform (the reasons are worded by each).
std::vector<std::string> without_reasons(std::vector<std::string> texts);

// Resets settings to their defaults and image_info to zeros: for tests of
// the routines and front ends, which read and fill them. The core uses neither.
void reset_core_state();
