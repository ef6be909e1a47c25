// Console output. In a Windows console a line is written as the characters
// it spells, whatever the C runtime would make of its bytes.
#include "cli/kgfconv_output.h"

#include "cli/kgfconv_commands.h"
#include "formats/name_endings.h"
#include "platform/message.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>
#ifdef _WIN32
#include <windows.h>

#include <io.h>
#else
#include <unistd.h>
#endif

#ifdef _WIN32

void write_text(FILE* stream, std::string_view text) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (text.empty() || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 0));
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    std::fflush(stream);
    DWORD written = 0;
    if (length <= 0 ||
        !WriteConsoleW(handle, wide.data(), static_cast<DWORD>(length), &written, nullptr))
        std::fwrite(text.data(), 1, text.size(), stream);
}

#else

void write_text(FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

#endif

void print_to(FILE* stream, const char* pattern, ...) {
    va_list arguments;
    va_start(arguments, pattern);
    va_list again;
    va_copy(again, arguments);
    const int needed = std::vsnprintf(nullptr, 0, pattern, arguments);
    va_end(arguments);
    std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0)
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    write_text(stream, text);
}

namespace {

std::mutex output_lock;

// The progress bar while it is shown: its text, to draw again below a line
// printed above it.
struct progress_bar {
    bool shown = false;
    std::string text;
    size_t width = 0; // the longest line drawn
    std::chrono::steady_clock::time_point start;
};
progress_bar bar;

// A batch of more than this many files gets the bar.
constexpr int handful = 5;

// Blanks cover what a longer line drew before: no terminal control codes,
// which not every console takes.
void draw_bar() {
    const size_t drawn = bar.text.size();
    print_to(stderr, "\r%s%*s", bar.text.c_str(),
             static_cast<int>(bar.width > drawn ? bar.width - drawn : 0), "");
    bar.width = std::max(bar.width, drawn);
    std::fflush(stderr);
}

void clear_bar() {
    print_to(stderr, "\r%*s\r", static_cast<int>(bar.width), "");
}

struct file_messages {
    std::string file;
    output_journal* journal = nullptr;
};

// Held by pointer, made and freed here: the MinGW runtime runs down a
// thread's objects with destructors after it may have freed their storage,
// which crashed a worker's exit at random. A pointer needs no running down.
thread_local file_messages* current = nullptr;

bool standard_error_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void hold_or_print(const std::string& text) {
    if (current == nullptr) {
        print_file_message(std::string(), text);
        return;
    }
    if (current->journal != nullptr) {
        journal_entry entry;
        entry.text = text;
        current->journal->entries.push_back(std::move(entry));
        return;
    }
    print_file_message(current->file, text);
}

void hold_failure(const std::string& text, size_t index) {
    // After every output held once this many failures had been met.
    std::vector<journal_entry>& entries = current->journal->entries;
    auto at = entries.begin();
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it->is_failure || (it->is_output && it->failures_before <= index))
            at = std::next(it);
    journal_entry entry;
    entry.is_failure = true;
    entry.text = text;
    entries.insert(at, std::move(entry));
}

void console_finding(void*, const kgf_failure& finding) {
    hold_or_print(failure_message(finding));
}

// Nobody is asked: the answer comes from --yes, and a No fails the file.
void console_answer(void*, const char* question, bool written) {
    // The question's text is the game's own; it counts from 36 on.
    hold_or_print(question);
    hold_or_print(written ? "a name of 36 characters or more: answered Yes (--yes)"
                          : "a name of 36 characters or more: answered No: not written, the "
                            "file fails (--yes writes it)");
}

// The settings store's messages, which come through the message layer. No
// one is there to answer a question: it is shown, and the answer is No.
int console_message(const char* text, const char*, unsigned style) {
    hold_or_print(text);
    return (style & message_yes_no) ? answer_no : answer_ok;
}

} // namespace

void install_console_messages() {
    set_message_handler(console_message);
}

report_sink console_sink() {
    report_sink sink;
    sink.warning = console_finding;
    sink.long_name_answered = console_answer;
    return sink;
}

void file_status(kgf_status status, const char* subject) {
    file_status(kgf_failure{status, subject != nullptr ? subject : ""});
}

void file_status(const kgf_failure& failure) {
    if (failure.status != kgf_status::ok)
        hold_or_print(failure_message(failure));
}

void file_failures(const failure_list& failures) {
    for (size_t i = 0; i < failures.failures.size(); ++i) {
        const std::string text = failure_message(failures.failures[i]);
        if (current != nullptr && current->journal != nullptr)
            hold_failure(text, i);
        else
            hold_or_print(text);
    }
}

void begin_file_messages(const std::string& file, output_journal* journal) {
    if (current == nullptr)
        current = new file_messages;
    current->file = file;
    current->journal = journal;
    set_message_handler(console_message);
}

void end_file_messages() {
    delete current;
    current = nullptr;
}

void file_message(const std::string& text) {
    hold_or_print(text);
}

void print_file_message(const std::string& file, const std::string& text) {
    std::string line = "kgfconv: ";
    // A text that names the file first already says which file it is.
    if (!file.empty() && text.compare(0, file.size() + 2, file + ": ") != 0 &&
        text.compare(0, file.size() + 2, printable_name(file) + ": ") != 0)
        line += file + ": ";
    line += text;
    // Names come from the command line and from files: one line each,
    // whatever they hold.
    print_line(printable_name(line));
}

int finish_standard_output(int status, int earlier_error) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return status;
    const int error = errno != 0 ? errno : earlier_error != 0 ? earlier_error : EIO;
    print_file_message("standard output", std::generic_category().message(error));
    return exit_failed;
}

void print_line(const std::string& line) {
    std::lock_guard<std::mutex> guard(output_lock);
    if (bar.shown)
        clear_bar();
    print_to(stderr, "%s\n", line.c_str());
    if (bar.shown)
        draw_bar();
    std::fflush(stderr);
}

bool progress_bar_wanted(bool quiet, int count) {
    return !quiet && count > handful && standard_error_is_terminal();
}

void start_progress(int count) {
    std::lock_guard<std::mutex> guard(output_lock);
    bar.shown = true;
    bar.start = std::chrono::steady_clock::now();
    bar.text = "kgfconv: 0/" + std::to_string(count) + " files";
    draw_bar();
}

void show_progress(int done, int count, int failed) {
    std::lock_guard<std::mutex> guard(output_lock);
    constexpr int width = 24;
    const int filled = count > 0 ? done * width / count : width;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - bar.start).count();
    const double left = done > 0 ? elapsed / done * (count - done) : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "kgfconv: [%s%s] %d/%d files, %d failed, %.0f s left",
                  std::string(static_cast<size_t>(filled), '#').c_str(),
                  std::string(static_cast<size_t>(width - filled), '.').c_str(), done, count,
                  failed, left);
    bar.text = text;
    draw_bar();
}

void end_progress() {
    std::lock_guard<std::mutex> guard(output_lock);
    if (bar.shown)
        print_to(stderr, "\n");
    bar = progress_bar{};
    std::fflush(stderr);
}
