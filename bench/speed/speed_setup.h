// What the batch benchmarks share before they time anything: their options,
// the kgfconv they measure and the temporary folder their pictures go in.
#pragma once

#include <string>
#include <vector>

// A "--name N" option: N a whole number from low to high.
struct number_option {
    const char* name;
    int* value;
    int low;
    int high;
};

// Reads the numbered options of the table and at most one other word, the
// kgfconv to measure; false on anything else.
bool read_bench_options(int argc, char** argv, const std::vector<number_option>& numbers,
                        std::string& kgfconv);

// The native build puts kgfconv in cli/ beside the benchmarks' bench/.
std::string default_kgfconv();

// The temporary folder, removed with everything in it however the run ends.
struct scratch_folder {
    std::string path;
    scratch_folder() = default;
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    ~scratch_folder();
};

// Makes a new folder named after prefix in the system's temporary folder.
bool make_scratch_folder(scratch_folder& scratch, const char* prefix);
