// Runs a fuzz target over files, and over every file of folders, without
// libFuzzer: the committed corpus and crashers replayed as a test, or one
// input under a debugger. Usage: replay PATH...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

bool replay_file(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(stream),
                                     std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: replay PATH...\n");
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            if (!replay_file(path))
                return 1;
            ++replayed;
            continue;
        }
        // In name order, so that a run is the same everywhere.
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(path, error))
            if (entry.is_regular_file(error))
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            if (!replay_file(file))
                return 1;
            ++replayed;
        }
        if (error) {
            std::fprintf(stderr, "replay: cannot list %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("replay: %d inputs\n", replayed);
    return 0;
}
