#include "formats/output_file.h"

#include "platform/files.h"
#include "platform/message.h"

output_file::~output_file() {
    discard_output_file(*this);
}

int open_output_file(output_file& file, const char* path) {
    discard_output_file(file);
    file.final_path = path;
    // A short mark keeps the name within the platform's path limit; a name
    // already taken by some other file is never reused.
    const char* marks[] = {"~", "~1", "~2", "~3", "~4", "~5", "~6", "~7", "~8", "~9"};
    file.temporary_path.clear();
    for (const char* mark : marks) {
        const std::string candidate = file.final_path + mark;
        if (!path_exists(candidate.c_str())) {
            file.temporary_path = candidate;
            break;
        }
    }
    if (file.temporary_path.empty())
        return 0;
    file.stream = std::fopen(file.temporary_path.c_str(), "wb");
    if (file.stream == nullptr) {
        file.temporary_path.clear();
        return 0;
    }
    return 1;
}

int commit_output_file(output_file& file, int writes_ok) {
    if (file.stream == nullptr)
        return 0;
    bool ok = writes_ok != 0 && std::fflush(file.stream) == 0 && std::ferror(file.stream) == 0;
    ok = (std::fclose(file.stream) == 0) && ok;
    file.stream = nullptr;
    if (ok)
        ok = replace_file(file.temporary_path.c_str(), file.final_path.c_str()) != 0;
    if (!ok) {
        delete_file(file.temporary_path.c_str());
        show_error("File I/O error");
    }
    file.temporary_path.clear();
    return ok ? 1 : 0;
}

void discard_output_file(output_file& file) {
    if (file.stream != nullptr) {
        std::fclose(file.stream);
        file.stream = nullptr;
    }
    if (!file.temporary_path.empty()) {
        delete_file(file.temporary_path.c_str());
        file.temporary_path.clear();
    }
}
