// kgf_watch: how soon a save reaches the output folder under kgfconv watch,
// and whether the watcher's memory stays flat over many saves. A picture is
// saved as editors save it, to a temporary name renamed over the original;
// the time runs from the rename to the moment the output is renamed into
// place, seen through the platform's own folder watch. No figure is judged
// here but against the goals printed beside it.
#include "../speed/speed_inputs.h"
#include "../speed/speed_process.h"
#include "../speed/speed_setup.h"
#include "platform/folder_watch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const char usage[] =
    "usage: kgf_watch [--saves N] [--side N] [--settle MS] [--memory-saves N] [KGFCONV]\n"
    "  KGFCONV          the kgfconv to measure (default: the one built beside this program)\n"
    "  --saves N        saves timed, the median taken (default 50)\n"
    "  --side N         the picture's width and height, 16 to 4096 (default 256)\n"
    "  --settle MS      watch's settle time (default 200)\n"
    "  --memory-saves N saves after which the memory is compared, at --settle 0 (default "
    "10000)\n";

struct watch_bench {
    int saves = 50;
    int side = 256;
    int settle = 200;
    int memory_saves = 10000;
    std::string kgfconv;
};

using bench_clock = std::chrono::steady_clock;

double milliseconds_since(bench_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(bench_clock::now() - start).count();
}

// kgfconv watch running in the background, its messages in a log.
struct watcher_process {
    pid_t pid = -1;
    std::string log;
};

bool log_says(const std::string& log, const char* text) {
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

bool start_watcher(const watch_bench& bench, const std::string& folder, int settle,
                   watcher_process& process) {
    process.log = folder + "/watch.log";
    const std::string settle_text = std::to_string(settle);
    std::vector<std::string> words = {
        bench.kgfconv, "watch",    "--quiet",   "--to", "kgf",           "--levels",
        "5",           "--settle", settle_text, "-o",   folder + "/out", folder + "/src"};
    std::vector<char*> arguments;
    for (std::string& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, process.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int failed =
        posix_spawn(&process.pid, words[0].c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return false;
    // --quiet says nothing once watching: a first save converted tells it.
    return true;
}

int stop_watcher(watcher_process& process) {
    kill(process.pid, SIGINT);
    int status = 0;
    waitpid(process.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long resident_kib(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// One save and the time until its output is in place; -1 when none came
// within ten seconds.
double save_and_wait(folder_watch* outputs, const std::string& folder, const std::string& picture,
                     const std::string& output) {
    const std::string temporary = folder + "/src/.save.tga";
    const std::string target = folder + "/src/pic.tga";
    std::error_code error;
    std::filesystem::copy_file(picture, temporary,
                               std::filesystem::copy_options::overwrite_existing, error);
    std::vector<folder_event> events;
    wait_folder_changes(outputs, 0, events); // nothing earlier counts
    // Timed from just before the rename: a process preempted after it would
    // otherwise start the clock late. The rename itself takes microseconds.
    const auto start = bench_clock::now();
    std::rename(temporary.c_str(), target.c_str());
    for (;;) {
        events.clear();
        wait_folder_changes(outputs, 100, events);
        for (const folder_event& event : events) {
            if (event.change == folder_change::written && event.path == output)
                return milliseconds_since(start);
        }
        if (milliseconds_since(start) > 10000 || stop_requested())
            return -1;
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The latencies of the saves at the given settle time.
bool time_saves(const watch_bench& bench, const std::string& folder,
                const std::vector<std::string>& pictures, int settle, int saves,
                std::vector<double>& times, long* kib_early, long* kib_late) {
    std::filesystem::remove_all(folder + "/out");
    std::filesystem::create_directories(folder + "/out");
    std::filesystem::remove_all(folder + "/src");
    std::filesystem::create_directories(folder + "/src");
    std::string reason;
    folder_watch* outputs = open_folder_watch(reason);
    if (outputs == nullptr || !add_watched_folder(outputs, folder + "/out", false, "", reason)) {
        std::fprintf(stderr, "kgf_watch: cannot watch the output folder: %s\n", reason.c_str());
        close_folder_watch(outputs);
        return false;
    }
    watcher_process process;
    if (!start_watcher(bench, folder, settle, process)) {
        std::fprintf(stderr, "kgf_watch: cannot start %s\n", bench.kgfconv.c_str());
        close_folder_watch(outputs);
        return false;
    }
    const std::string output = folder + "/out/pic.kgf";
    // The first save also tells that watching has begun.
    bool ok = true;
    for (int i = 0; i <= saves && ok && !stop_requested(); ++i) {
        const double time = save_and_wait(outputs, folder, pictures[i % pictures.size()], output);
        if (time < 0) {
            std::fprintf(stderr, "kgf_watch: save %d was not converted\n", i);
            ok = false;
        } else if (i > 0) {
            times.push_back(time);
        }
        if (kib_early != nullptr && i == std::min(saves, 1000))
            *kib_early = resident_kib(process.pid);
    }
    if (kib_late != nullptr)
        *kib_late = resident_kib(process.pid);
    const int status = stop_watcher(process);
    close_folder_watch(outputs);
    if (status != 0) {
        std::fprintf(stderr, "kgf_watch: watch ended with status %d\n", status);
        ok = false;
    }
    if (log_says(process.log, "kgfconv: ")) {
        std::fprintf(stderr, "kgf_watch: watch named a failure; see its log\n");
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    watch_bench bench;
    if (!read_bench_options(argc, argv,
                            {{"--saves", &bench.saves, 1, 100000},
                             {"--side", &bench.side, 16, 4096},
                             {"--settle", &bench.settle, 0, 60000},
                             {"--memory-saves", &bench.memory_saves, 1, 1000000}},
                            bench.kgfconv)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (bench.kgfconv.empty())
        bench.kgfconv = default_kgfconv();
    catch_stop_signals();
    scratch_folder scratch;
    if (!make_scratch_folder(scratch, "kgf-watch")) {
        std::fprintf(stderr, "kgf_watch: no temporary folder\n");
        return 1;
    }
    set_child_environment({"XDG_CONFIG_HOME=" + scratch.path + "/config"});
    setenv("XDG_CONFIG_HOME", (scratch.path + "/config").c_str(), 1);
    // Two pictures saved in turn, so that each save changes the file.
    std::vector<std::string> pictures;
    for (uint32_t seed = 1; seed <= 2; ++seed) {
        const std::string path = scratch.path + "/picture" + std::to_string(seed) + ".tga";
        if (!write_photo_tga(path, make_photo(bench.side, bench.side, seed))) {
            std::fprintf(stderr, "kgf_watch: cannot write %s\n", path.c_str());
            return 1;
        }
        pictures.push_back(path);
    }

    std::vector<double> times;
    if (!time_saves(bench, scratch.path, pictures, bench.settle, bench.saves, times, nullptr,
                    nullptr))
        return 1;
    std::vector<double> quick;
    if (!time_saves(bench, scratch.path, pictures, 0, bench.saves, quick, nullptr, nullptr))
        return 1;
    std::printf("kgfconv watch, a %dx%d TGA renamed over the original, %d saves:\n\n", bench.side,
                bench.side, bench.saves);
    std::printf("| settle | median ms | fastest ms | slowest ms | median - settle ms |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const auto& [settle, values] :
         {std::pair<int, const std::vector<double>&>{bench.settle, times}, {0, quick}})
        std::printf("| %d | %.1f | %.1f | %.1f | %.1f |\n", settle, median(values),
                    *std::min_element(values.begin(), values.end()),
                    *std::max_element(values.begin(), values.end()), median(values) - settle);
    std::printf("\nGoal: median at most the settle time + 50 ms (%.1f ms over it at %d ms)\n",
                median(times) - bench.settle, bench.settle);

    std::vector<double> many;
    long early = 0, late = 0;
    if (!time_saves(bench, scratch.path, pictures, 0, bench.memory_saves, many, &early, &late))
        return 1;
    std::printf("\nMemory of the watcher: %ld KiB after %d saves, %ld KiB after %d (ratio %.2f)\n",
                early, std::min(bench.memory_saves, 1000), late, bench.memory_saves,
                early > 0 ? static_cast<double>(late) / static_cast<double>(early) : 0.0);
    std::printf("Goal: flat, a ratio near 1\n");
    return 0;
}
