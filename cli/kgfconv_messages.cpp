#include "cli/kgfconv.h"

#include "platform/message.h"

#include <cstdio>
#include <mutex>

namespace {

bool yes_to_questions = false;
std::mutex output_lock;

struct file_messages {
    std::string file;
    output_journal* journal = nullptr;
};

thread_local file_messages current;

void hold_or_print(const std::string& text) {
    if (current.journal != nullptr) {
        journal_entry entry;
        entry.text = text;
        current.journal->entries.push_back(std::move(entry));
        return;
    }
    print_file_message(current.file, text);
}

int console_message(const char* text, const char* caption, unsigned style) {
    hold_or_print(text);
    if (style & message_yes_no) {
        hold_or_print(yes_to_questions ? "answered Yes (--yes)"
                                       : "answered No; the file is skipped (--yes converts it)");
        return yes_to_questions ? answer_yes : answer_no;
    }
    return answer_ok;
}

} // namespace

void install_console_messages(bool answer_yes) {
    yes_to_questions = answer_yes;
    set_message_handler(console_message);
}

void begin_file_messages(const std::string& file, output_journal* journal) {
    current.file = file;
    current.journal = journal;
    set_message_handler(console_message);
}

void end_file_messages() {
    current = file_messages{};
}

void print_file_message(const std::string& file, const std::string& text) {
    std::string line = "kgfconv: ";
    // A text that names the file first already says which file it is.
    if (!file.empty() && text.compare(0, file.size() + 2, file + ": ") != 0)
        line += file + ": ";
    line += text;
    print_line(line);
}

void print_line(const std::string& line) {
    std::lock_guard<std::mutex> guard(output_lock);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}
