// Starting a program as its own process and timing it from start to exit.
#pragma once

#include <string>
#include <vector>

struct process_run {
    bool started = false;
    int exit_status = -1; // -1 when it did not exit normally
    double milliseconds = 0;
    long peak_kib = 0; // the largest resident set the process reached
};

// The environment every program is started with: this process's own, with
// the given variables replaced or added ("NAME=VALUE").
void set_child_environment(const std::vector<std::string>& overrides);

// Runs arguments[0] (searched in PATH when it holds no '/') with standard
// input and output on /dev/null and standard error into error_log. The time
// runs from just before the start to the moment the exit is collected.
process_run run_process(const std::vector<std::string>& arguments, const std::string& error_log);

// Set once SIGINT or SIGTERM arrived: the benchmark stops after the running
// process and removes its folder.
void catch_stop_signals();
bool stop_requested();
