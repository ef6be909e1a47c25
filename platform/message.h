// Message boxes and the Yes/No question. On Windows the default handler is a
// message box without owner; elsewhere the front end installs its own.
#pragma once

#include <cstddef>
#include <string>

// Style bits, equal to the Win32 message-box flags they stand for.
constexpr unsigned message_ok = 0x00;
constexpr unsigned message_yes_no = 0x04;
constexpr unsigned message_icon_error = 0x10;

// Answers, equal to the Win32 button ids.
constexpr int answer_ok = 1;
constexpr int answer_yes = 6;
constexpr int answer_no = 7;

using message_handler = int (*)(const char* text, const char* caption, unsigned style);

// Installs a handler; nullptr restores the platform's default.
void set_message_handler(message_handler handler);

// The installed handler, nullptr for the platform's default.
message_handler current_message_handler();

// Shows one message and returns the answer.
int show_message(const char* text, const char* caption, unsigned style);

// "Error" caption with the error icon and an OK button.
void show_error(const char* text);

// show_error with text formatted from a pattern holding one %s.
void show_error_about(const char* pattern, const char* subject);

// The most characters a path or other unbroken word keeps in a message box:
// a box is as wide as its longest word.
constexpr size_t message_word_limit = 64;

// The text with every longer path shortened in the middle, keeping its
// start and its last components (C:\first\...\last\name), and every other
// longer word likewise. A path runs from a drive or "\\" to a colon, a
// line's end or the text's end.
std::string shorten_long_words(const std::string& text, size_t limit = message_word_limit);
