#include "platform/files.h"

#include <windows.h>

int create_folder(const char* path) {
    return CreateDirectoryA(path, nullptr) ? 1 : 0;
}

int path_exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int delete_file(const char* path) {
    return DeleteFileA(path) ? 1 : 0;
}

int replace_file(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

std::string current_folder() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer)
        return std::string();
    return std::string(buffer, length);
}
