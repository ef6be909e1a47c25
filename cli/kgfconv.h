// The command-line converter's commands.
#pragma once

#include "formats/kgf_quality.h"
#include "formats/output_file.h"
#include "formats/report.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct convert_options {
    std::string to;
    std::string from = "auto";
    std::string output_dir;
    bool output_dir_given = false;
    int levels = -1; // -1: the stored setting
    int bpp = -1;
    int mipmaps = -1;
    std::string suffix;
    bool suffix_given = false;
    // Quality options: 1 on, 0 off, -1 the stored setting.
    int dither = -1;
    int srgb_mips = -1;
    int alpha_mips = -1;
    bool yes = false;
    bool quiet = false;
    int jobs = 0; // 0: one per core
    bool recursive = false;
    std::vector<std::string> files;
};

struct pack_command {
    std::string output;
    std::string like; // empty: no original
    int levels = 0;   // 0: the original frame's count, else the stored setting
    int dither = -1;  // quality options as for convert
    int srgb_mips = -1;
    int alpha_mips = -1;
    bool yes = false;
    bool quiet = false;
    std::vector<std::string> frames;
};

// The quality of the stored settings with the flags given (1 on, 0 off,
// -1 as stored) applied.
kgf_quality chosen_quality(kgf_quality stored, int dither, int srgb_mips, int alpha_mips);

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

// Describes each file; with json, as one JSON array on standard output.
int run_info(const std::vector<std::string>& files, bool json);
int run_convert(const convert_options& options);
// Writes one animation of the frames; see the pack command's help.
int run_pack(const pack_command& command);
// No assignments: prints the settings in effect; NAME=VALUE...: saves them.
int run_settings(const std::vector<std::string>& assignments);
extern const char settings_help[]; // the settings command's --help text

// Writes text to standard output or error; in a Windows console, as the
// characters it spells in the program's code page.
void write_text(FILE* stream, std::string_view text);

// The same for text formatted as printf formats it.
void print_to(FILE* stream, const char* pattern, ...) __attribute__((format(printf, 2, 3)));

// In a Windows console, shows the program's text in the program's code page
// (UTF-8) until it ends, then puts the console's own back. Elsewhere nothing.
void use_program_code_page_in_console();

// Started with no arguments in a console of its own (from Explorer): says
// what kgfconv is, points at kgftool.exe and readme.txt, waits for a key
// and returns true. False in every other case, having done nothing.
bool explained_when_started_alone(int argc);

// Sets the answer to the name-length question: Yes with --yes.
void install_console_messages(bool answer_yes);

// The sink of the core's findings: each printed on standard error naming
// the file it concerns (or held, see begin_file_messages), the name-length
// question answered as told.
report_sink console_sink();

// A status of this thread's file through the console sink; nothing for ok.
void file_status(kgf_status status, const char* subject);

// The messages of this thread concern file from now on; with a journal they
// are held there instead of printed.
void begin_file_messages(const std::string& file, output_journal* journal);
void end_file_messages();

// A message of the system's about this thread's file: held or printed as
// its other messages are.
void file_message(const std::string& text);

// Prints "kgfconv: FILE: text" (the file named once when the text starts
// with it), or "kgfconv: text" when no file is concerned.
void print_file_message(const std::string& file, const std::string& text);

// Flushes standard output: status when everything printed reached it, or
// exit_failed after naming the failure ("kgfconv: standard output: No space
// left on device").
int finish_standard_output(int status);

// Prints a line of its own on standard error, such as a progress line,
// above the progress bar when one is shown.
void print_line(const std::string& line);

// The progress bar: one line on a terminal, updated in place, for batches
// of more than a handful of files unless quiet.
bool progress_bar_wanted(bool quiet, int count);
void start_progress(int count);
void show_progress(int done, int count, int failed);
void end_progress();
