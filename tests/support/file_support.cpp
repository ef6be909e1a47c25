#include "support/file_support.h"

#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

scratch_folder::scratch_folder() {
    static std::atomic<int> counter{0};
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("kgf-test-" + std::to_string(counter++) + "-" +
                                     std::to_string(static_cast<unsigned>(std::rand())));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path = path_text(candidate);
            return;
        }
    }
}

scratch_folder::~scratch_folder() {
    std::error_code error;
    fs::remove_all(path, error);
}

// Names go through the platform's own conversion: a path made from a
// narrow string directly takes its bytes as Latin-1 on Windows, whatever
// the code page, and mangles every other name.
std::string scratch_folder::file(const std::string& name) const {
    return path_text(text_path(path) / text_path(name));
}

std::string scratch_folder::folder_text() const {
    return path + static_cast<char>(fs::path::preferred_separator);
}

current_folder_change::current_folder_change(const std::string& folder) {
    // Names as the program spells them: in its code page.
    previous = path_text(fs::current_path());
    fs::current_path(text_path(folder));
}

current_folder_change::~current_folder_change() {
    std::error_code error;
    fs::current_path(text_path(previous), error);
}

std::vector<uint8_t> read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_file_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    std::error_code error;
    return fs::exists(text_path(path), error);
}

std::vector<std::string> list_folder(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(text_path(path), error))
        names.push_back(path_text(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}
