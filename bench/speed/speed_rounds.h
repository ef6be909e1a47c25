// A row's rounds: cp and the programs it compares run in turn, each into a
// fresh, empty output folder, and every run is checked for its output.
#pragma once

#include <string>
#include <vector>

// One program's part in a row: the processes it runs one after another, and
// the files they must leave in the output folder.
struct command {
    std::string name;
    std::vector<std::vector<std::string>> processes;
    int outputs = 0;
};

struct work {
    std::string title;
    double goal_ratio = 0;      // of the first program's median to cp's
    double goal_peak_mib = 0;   // of the first program's peak memory; 0: none
    bool goal_to_first = false; // the goal is instead the second program's median to the first's
    command copy;
    std::vector<command> programs;
};

struct figures {
    std::vector<double> milliseconds;
    long peak_kib = 0;
};

struct bench_folders {
    std::string root;
    std::string output; // made empty before each run, removed after it
    std::string log;    // standard error of the last process
};

// The command line of a process, shortened for a message.
std::string command_line(const std::vector<std::string>& arguments);

// Shows the first lines of a process's standard error.
void show_log(const std::string& log);

size_t files_in(const std::string& folder);

// One untimed run of each command to warm the caches, then runs rounds in
// which cp and the programs take turns. out[0] is cp's. False, with the
// reason shown, when a run fails, leaves other than the expected files, or a
// stop was asked for.
bool measure(const work& w, int runs, const bench_folders& folders, std::vector<figures>& out);
