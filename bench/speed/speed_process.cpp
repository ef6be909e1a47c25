#include "speed_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

std::vector<std::string> child_environment_texts;
std::vector<char*> child_environment;
volatile std::sig_atomic_t stop_signal = 0;

void note_stop(int) {
    stop_signal = 1;
}

double now_milliseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::string variable_name(const std::string& assignment) {
    return assignment.substr(0, assignment.find('='));
}

// Spawn's file actions, released whatever happens.
struct file_actions {
    posix_spawn_file_actions_t actions{};
    file_actions() { posix_spawn_file_actions_init(&actions); }
    ~file_actions() { posix_spawn_file_actions_destroy(&actions); }
    file_actions(const file_actions&) = delete;
    file_actions& operator=(const file_actions&) = delete;
};

} // namespace

void set_child_environment(const std::vector<std::string>& overrides) {
    child_environment_texts.clear();
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& assignment : overrides)
            replaced = replaced || variable_name(assignment) == variable_name(text);
        if (!replaced)
            child_environment_texts.push_back(text);
    }
    child_environment_texts.insert(child_environment_texts.end(), overrides.begin(),
                                   overrides.end());
    child_environment.clear();
    for (std::string& text : child_environment_texts)
        child_environment.push_back(text.data());
    child_environment.push_back(nullptr);
}

process_run run_process(const std::vector<std::string>& arguments, const std::string& error_log) {
    process_run result;
    if (arguments.empty())
        return result;
    if (child_environment.empty())
        set_child_environment({});
    std::vector<char*> argv;
    std::vector<std::string> copies = arguments; // spawn takes non-const texts
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    file_actions files;
    posix_spawn_file_actions_addopen(&files.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files.actions, 2, error_log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const double start = now_milliseconds();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &files.actions, nullptr, argv.data(),
                     child_environment.data()) != 0)
        return result;
    int status = 0;
    rusage usage{};
    pid_t waited = -1;
    do
        waited = wait4(pid, &status, 0, &usage);
    while (waited < 0 && errno == EINTR);
    result.milliseconds = now_milliseconds() - start;
    result.started = waited == pid;
    if (result.started && WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    result.peak_kib = usage.ru_maxrss;
    return result;
}

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = note_stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() {
    return stop_signal != 0;
}
