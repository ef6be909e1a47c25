#include "speed_machine.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// The value after "name :" on the first line of a /proc file that starts
// with name.
std::string proc_field(const char* path, const std::string& name) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size(), name) != 0)
            continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const size_t value = line.find_first_not_of(" \t", colon + 1);
        return value == std::string::npos ? std::string() : line.substr(value);
    }
    return "unknown";
}

bool inside(const std::string& path, const std::string& mount) {
    if (mount == "/")
        return true;
    return path.compare(0, mount.size(), mount) == 0 &&
           (path.size() == mount.size() || path[mount.size()] == '/');
}

// The mount that holds the folder: the longest mount point above it. Lines
// of mountinfo read "id parent dev root mount options ... - type source ...".
std::string file_system_of(const std::string& folder) {
    std::error_code error;
    const std::string path = std::filesystem::canonical(folder, error).string();
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    std::string best_mount;
    std::string best;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mount, word;
        fields >> id >> parent >> device >> root >> mount;
        while (fields >> word && word != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        if (!inside(path, mount) || mount.size() < best_mount.size())
            continue;
        best_mount = mount;
        best = type + " on " + source + " (mounted at " + mount + ")";
    }
    return best.empty() ? "unknown" : best;
}

} // namespace

machine_facts describe_machine(const std::string& folder) {
    machine_facts facts;
    facts.cores = sysconf(_SC_NPROCESSORS_ONLN);
    facts.cpu = proc_field("/proc/cpuinfo", "model name");
    const std::string kib = proc_field("/proc/meminfo", "MemTotal");
    char memory[32] = "unknown";
    long long amount = 0;
    if (std::sscanf(kib.c_str(), "%lld", &amount) == 1)
        std::snprintf(memory, sizeof memory, "%.0f GiB", amount / 1048576.0);
    facts.memory = memory;
    facts.file_system = file_system_of(folder);
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &utc);
    facts.date = date;
    return facts;
}

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string one_minute;
    in >> one_minute;
    return one_minute.empty() ? "unknown" : one_minute;
}
