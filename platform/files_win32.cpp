#include "platform/files.h"

#include <windows.h>

#include <algorithm>

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

input_open_result open_input_file(const char* path, input_file& file) {
    file = input_file{};
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return input_open_result::cannot_open;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return input_open_result::not_regular;
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return input_open_result::cannot_open;
    // Device names such as NUL or CON open as character devices.
    LARGE_INTEGER size = {};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return input_open_result::not_regular;
    }
    if (!GetFileSizeEx(handle, &size)) {
        CloseHandle(handle);
        return input_open_result::failed;
    }
    file.handle = reinterpret_cast<intptr_t>(handle);
    file.size = size.QuadPart;
    return input_open_result::opened;
}

int64_t read_input_file(input_file& file, void* out, size_t count) {
    HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(handle, static_cast<char*>(out) + done, chunk, &got, nullptr))
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

int seek_input_file(input_file& file, int64_t offset) {
    LARGE_INTEGER position = {};
    position.QuadPart = offset;
    return SetFilePointerEx(reinterpret_cast<HANDLE>(file.handle), position, nullptr, FILE_BEGIN)
               ? 1
               : 0;
}

void close_input_file(input_file& file) {
    if (file.handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(file.handle));
    file = input_file{};
}
