#include "speed_rounds.h"

#include "speed_process.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

std::string command_line(const std::vector<std::string>& arguments) {
    std::string line;
    for (size_t i = 0; i < arguments.size() && i < 8; ++i)
        line += (i > 0 ? " " : "") + arguments[i];
    if (arguments.size() > 8)
        line += " ... (" + std::to_string(arguments.size()) + " arguments)";
    return line;
}

void show_log(const std::string& log) {
    std::ifstream in(log);
    std::string line;
    for (int shown = 0; shown < 10 && std::getline(in, line); ++shown)
        std::fprintf(stderr, "  %s\n", line.c_str());
}

size_t files_in(const std::string& folder) {
    std::error_code error;
    size_t count = 0;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
        count += entry->is_regular_file() ? 1 : 0;
    return count;
}

namespace {

// Runs a command once into a fresh, empty output folder; the folder's making
// and removal lie outside the time. False, with the reason shown, when a
// process fails or leaves other than the expected files.
bool run_once(const command& c, const bench_folders& folders, double& milliseconds,
              long& peak_kib) {
    std::error_code error;
    fs::remove_all(folders.output, error);
    if (!fs::create_directory(folders.output, error)) {
        std::fprintf(stderr, "kgf_speed: cannot make %s\n", folders.output.c_str());
        return false;
    }
    milliseconds = 0;
    peak_kib = 0;
    for (const std::vector<std::string>& arguments : c.processes) {
        const process_run run = run_process(arguments, folders.log);
        if (stop_requested())
            return false;
        if (!run.started || run.exit_status != 0) {
            std::fprintf(stderr, "kgf_speed: %s %s (exit status %d):\n",
                         command_line(arguments).c_str(),
                         run.started ? "failed" : "could not be started", run.exit_status);
            show_log(folders.log);
            return false;
        }
        milliseconds += run.milliseconds;
        peak_kib = std::max(peak_kib, run.peak_kib);
    }
    const size_t written = files_in(folders.output);
    fs::remove_all(folders.output, error);
    if (written != static_cast<size_t>(c.outputs)) {
        std::fprintf(stderr, "kgf_speed: %s left %zu files instead of %d\n", c.name.c_str(),
                     written, c.outputs);
        return false;
    }
    return true;
}

} // namespace

bool measure(const work& w, int runs, const bench_folders& folders, std::vector<figures>& out) {
    std::vector<const command*> order = {&w.copy};
    for (const command& c : w.programs)
        order.push_back(&c);
    out.assign(order.size(), figures{});
    for (int round = 0; round <= runs; ++round) {
        std::fprintf(stderr, "\r%s: round %d of %d ", w.title.c_str(), round, runs);
        for (size_t i = 0; i < order.size(); ++i) {
            double milliseconds = 0;
            long peak_kib = 0;
            if (!run_once(*order[i], folders, milliseconds, peak_kib)) {
                std::fprintf(stderr, "\n");
                return false;
            }
            if (round == 0)
                continue;
            out[i].milliseconds.push_back(milliseconds);
            out[i].peak_kib = std::max(out[i].peak_kib, peak_kib);
        }
    }
    std::fprintf(stderr, "\n");
    return true;
}
