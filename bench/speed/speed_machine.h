// What the figures came from: the machine, its load, the folder's file
// system and the date.
#pragma once

#include <string>

struct machine_facts {
    long cores = 0;          // processors online, as nproc counts them
    std::string cpu;         // the first "model name" of /proc/cpuinfo
    std::string memory;      // MemTotal, in GiB
    std::string file_system; // type and device of the folder's mount
    std::string date;        // UTC
};

machine_facts describe_machine(const std::string& folder);

// The 1-minute load average, as /proc/loadavg gives it.
std::string load_average();
