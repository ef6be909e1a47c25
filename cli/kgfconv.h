// The command-line converter's commands.
#pragma once

#include <string>
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
    bool yes = false;
    bool quiet = false;
    std::vector<std::string> files;
};

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

int run_info(const std::vector<std::string>& files);
int run_convert(const convert_options& options);
// No assignments: prints the settings in effect; NAME=VALUE...: saves them.
int run_settings(const std::vector<std::string>& assignments);
extern const char settings_help[]; // the settings command's --help text

// Installs the handler that prints messages as "Caption: text" on standard
// error and answers the name-length question as told.
void install_console_messages(bool answer_yes);
