#include "platform/message.h"

#include <cstdio>
#include <string>

int platform_default_message(const char* text, const char* caption, unsigned style);

namespace {
// Each thread has its own: a batch of the command line runs files on several.
thread_local message_handler current_handler = nullptr;
} // namespace

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
