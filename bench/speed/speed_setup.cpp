#include "speed_setup.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Reads a whole number in [low, high] into value; false when it is not one.
bool read_number(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

} // namespace

bool read_bench_options(int argc, char** argv, const std::vector<number_option>& numbers,
                        std::string& kgfconv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const number_option* option = nullptr;
        for (const number_option& candidate : numbers)
            if (word == candidate.name)
                option = &candidate;
        if (option != nullptr) {
            if (i + 1 >= argc || !read_number(argv[++i], option->low, option->high, *option->value))
                return false;
        } else if (word.empty() || word[0] == '-' || !kgfconv.empty()) {
            return false;
        } else {
            kgfconv = word;
        }
    }
    return true;
}

std::string default_kgfconv() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "kgfconv";
    return (self.parent_path().parent_path() / "cli" / "kgfconv").string();
}

scratch_folder::~scratch_folder() {
    std::error_code error;
    if (!path.empty())
        fs::remove_all(path, error);
}

bool make_scratch_folder(scratch_folder& scratch, const char* prefix) {
    std::error_code error;
    const fs::path parent = fs::temp_directory_path(error);
    std::string pattern = ((error ? fs::path("/tmp") : parent) / prefix).string() + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return false;
    scratch.path = pattern;
    return true;
}
