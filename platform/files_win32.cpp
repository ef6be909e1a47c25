#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// The path in the wide form the platform takes past its 260-character
// limit: a temporary name beside a final path of 255 characters can be that
// long. Short paths stay as they are.
std::wstring wide_path(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    if (wide.size() < MAX_PATH)
        return wide;
    const DWORD full_length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (full_length == 0)
        return wide;
    std::wstring full(full_length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), full_length, full.data(), nullptr);
    full.resize(written);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// A failure with the system's error as its reason.
file_outcome failed() {
    const DWORD error = GetLastError();
    return file_outcome{false, error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE};
}

constexpr file_outcome succeeded{};

} // namespace

std::string system_error_text(unsigned long error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr)
        LocalFree(text);
    // One line, without the closing full stop, like the other platforms' texts.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "system error " + std::to_string(error) : reason;
}

std::string path_text(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty())
        return std::string();
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::filesystem::path text_path(const std::string& text) {
    if (text.empty())
        return std::filesystem::path();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return std::filesystem::path();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return std::filesystem::path(wide);
}

file_outcome create_folder(const char* path) {
    return CreateDirectoryA(path, nullptr) ? succeeded : failed();
}

file_outcome create_folder_with_parents(const char* path) {
    std::string folder = path;
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    // The root is never made: a drive (C:\ and C:) or a share (\\server\share\).
    size_t root = 0;
    if (folder.size() >= 2 && folder[1] == ':') {
        root = folder.size() > 2 && separator(folder[2]) ? 3 : 2;
    } else if (folder.size() >= 2 && separator(folder[0]) && separator(folder[1])) {
        root = 2;
        for (int parts = 0; parts < 2 && root < folder.size(); ++parts) {
            while (root < folder.size() && !separator(folder[root]))
                ++root;
            if (root < folder.size())
                ++root;
        }
    } else if (!folder.empty() && separator(folder[0])) {
        root = 1;
    }
    while (folder.size() > root && separator(folder.back()))
        folder.pop_back();
    if (folder.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return failed();
    }
    // Each part in turn, from the root down; a part that is there is kept.
    for (size_t end = root + 1; end <= folder.size(); ++end) {
        if (end < folder.size() && !separator(folder[end]))
            continue;
        const std::wstring part = wide_path(folder.substr(0, end).c_str());
        const DWORD attributes = GetFileAttributesW(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                SetLastError(ERROR_DIRECTORY);
                return failed();
            }
            continue;
        }
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return failed();
    }
    if (folder.size() <= root) {
        // A drive or share alone: it is there or it is not.
        if (GetFileAttributesW(wide_path(folder.c_str()).c_str()) == INVALID_FILE_ATTRIBUTES)
            return failed();
    }
    return succeeded;
}

int path_exists(const char* path) {
    return GetFileAttributesW(wide_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int file_size_and_time(const char* path, int64_t& size, int64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide_path(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;
    size =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    time = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
    return 1;
}

file_outcome may_replace_file(const char* path) {
    const DWORD attributes = GetFileAttributesW(wide_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return succeeded;
    SetLastError(ERROR_ACCESS_DENIED);
    return failed();
}

int delete_file(const char* path) {
    return DeleteFileW(wide_path(path).c_str()) ? 1 : 0;
}

file_outcome replace_file(const char* from, const char* to) {
    return MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? succeeded
               : failed();
}

std::string current_folder() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer)
        return std::string();
    return std::string(buffer, length);
}

input_opening open_input_file(const char* path, input_file& file) {
    file = input_file{};
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {input_open_result::cannot_open, failed().system_error};
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return {input_open_result::not_regular};
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {input_open_result::cannot_open, failed().system_error};
    // Device names such as NUL or CON open as character devices.
    LARGE_INTEGER size = {};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return {input_open_result::not_regular};
    }
    if (!GetFileSizeEx(handle, &size)) {
        const int reason = failed().system_error;
        CloseHandle(handle);
        return {input_open_result::failed, reason};
    }
    file.handle = reinterpret_cast<intptr_t>(handle);
    file.size = size.QuadPart;
    return {input_open_result::opened};
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

file_outcome create_new_file(const char* path, new_file& file) {
    file = new_file{};
    // No sharing: nobody deletes or renames the file while it is written.
    HANDLE handle = CreateFileW(wide_path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failed();
    file.handle = reinterpret_cast<intptr_t>(handle);
    return succeeded;
}

file_outcome write_new_file(new_file& file, const void* bytes, size_t count) {
    HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(handle, static_cast<const char*>(bytes) + done, chunk, &put, nullptr))
            return failed();
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            return failed();
        }
        done += put;
    }
    return succeeded;
}

file_outcome close_new_file(new_file& file) {
    if (file.handle == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failed();
    }
    const file_outcome closed =
        CloseHandle(reinterpret_cast<HANDLE>(file.handle)) ? succeeded : failed();
    file = new_file{};
    return closed;
}

std::vector<std::string> folder_names(const char* folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

unsigned long current_process_id() {
    return GetCurrentProcessId();
}

int process_may_be_running(unsigned long id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr)
        return GetLastError() == ERROR_INVALID_PARAMETER ? 0 : 1;
    const DWORD state = WaitForSingleObject(process, 0);
    CloseHandle(process);
    return state == WAIT_TIMEOUT ? 1 : 0;
}

int remove_abandoned_file(const char* path) {
    // A file still open for writing is not shared for deletion.
    return delete_file(path);
}

void advise_large_block(void*, size_t) {
    // Large pages need a privilege ordinary users lack.
}
