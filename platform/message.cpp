#include "platform/message.h"

#include <cstdio>
#include <string>

int platform_default_message(const char* text, const char* caption, unsigned style);

namespace {
// Each thread has its own: a batch of the command line runs files on several.
thread_local message_handler current_handler = nullptr;
} // namespace

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether a path starts at i: a drive and its separator, or "\\".
bool path_starts(const std::string& text, size_t i) {
    if (i > 0 && !is_space(text[i - 1]) && text[i - 1] != '"' && text[i - 1] != '(')
        return false;
    if (i + 2 < text.size() && is_letter(text[i]) && text[i + 1] == ':' &&
        is_separator(text[i + 2]))
        return true;
    return i + 1 < text.size() && text[i] == '\\' && text[i + 1] == '\\';
}

// A cut never falls inside a multi-byte character.
size_t back_to_character(const std::string& text, size_t i) {
    while (i > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        --i;
    return i;
}

size_t on_to_character(const std::string& text, size_t i) {
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

// Head and tail of a word around "...", the tail at a separator when one
// is near enough.
std::string shorten_word(const std::string& word, size_t limit) {
    const std::string dots = "...";
    if (limit < dots.size() + 2)
        limit = dots.size() + 2;
    // A path keeps its root and first component when they leave room.
    const size_t from = word.size() > 2 && word[1] == ':' ? 3
                        : word.compare(0, 2, "\\\\") == 0 ? 2
                                                          : 1;
    const size_t first = word.find_first_of("\\/", from);
    size_t head = (limit - dots.size()) / 2;
    if (first != std::string::npos && first <= head)
        head = first;
    head = back_to_character(word, head);
    const size_t room = limit - dots.size() - head;
    size_t tail = word.size() - room;
    const size_t separator = word.find_first_of("\\/", tail);
    if (separator != std::string::npos && separator + 1 < word.size())
        tail = separator;
    tail = on_to_character(word, tail);
    return word.substr(0, head) + dots + word.substr(tail);
}

} // namespace

std::string shorten_long_words(const std::string& text, size_t limit) {
    std::string shown;
    size_t i = 0;
    while (i < text.size()) {
        if (is_space(text[i])) {
            shown += text[i++];
            continue;
        }
        size_t end = i;
        if (path_starts(text, i)) {
            end = text.find_first_of(":\n\r\"", i + 2);
            if (end == std::string::npos)
                end = text.size();
        } else {
            while (end < text.size() && !is_space(text[end]))
                ++end;
        }
        const std::string word = text.substr(i, end - i);
        shown += word.size() > limit ? shorten_word(word, limit) : word;
        i = end;
    }
    return shown;
}

void set_message_handler(message_handler handler) {
    current_handler = handler;
}

message_handler current_message_handler() {
    return current_handler;
}

int show_message(const char* text, const char* caption, unsigned style) {
    if (current_handler != nullptr)
        return current_handler(text, caption, style);
    return platform_default_message(text, caption, style);
}

void show_error(const char* text) {
    show_message(text, "Error", message_ok | message_icon_error);
}

void show_error_about(const char* pattern, const char* subject) {
    std::string text;
    int needed = std::snprintf(nullptr, 0, pattern, subject);
    if (needed > 0) {
        text.resize(static_cast<size_t>(needed) + 1);
        std::snprintf(text.data(), text.size(), pattern, subject);
        text.resize(static_cast<size_t>(needed));
    }
    show_error(text.c_str());
}
