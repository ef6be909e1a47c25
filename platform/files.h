// Folder creation, deletion and renaming, as the platform does them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
constexpr char path_separator = '\\';
#else
constexpr char path_separator = '/';
#endif

// Whether c separates a path's parts: '/', and on Windows '\\' too.
inline bool is_path_separator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// A path as the text the functions here take (the ANSI code page on
// Windows, the bytes as they are elsewhere), and a path from such a text.
// A Windows name the code page cannot spell comes out with '?' in it, and
// is then refused by name when it is opened.
std::string path_text(const std::filesystem::path& path);
std::filesystem::path text_path(const std::string& text);

// The system's words for why this thread's last open, create, write or
// rename of a file failed, such as "No such file or directory"; empty when
// it gave none.
std::string last_file_error();

// The system's words for an error number (errno here, a Windows error code
// on Windows), on one line without a closing full stop.
std::string system_error_text(unsigned long error);

// Creates the last component of the path; the result may be ignored. On
// failure last_file_error() says why.
int create_folder(const char* path);

// Creates the folder with every missing parent. 1 when it is a folder
// afterwards; 0 otherwise, with the reason in last_file_error() (a file in
// the way of any of its parts is "not a directory").
int create_folder_with_parents(const char* path);

// 1 when anything (file, folder, link) exists under the path.
int path_exists(const char* path);

// The size of a regular file and the time of its last write, in the finest
// ticks the system keeps; 0 when no regular file is there.
int file_size_and_time(const char* path, int64_t& size, int64_t& time);

// 0 when a file is there under the path that is marked read-only (or that
// this process may not write): an output never replaces it.
int may_replace_file(const char* path);

// Deletes a file; 1 on success.
int delete_file(const char* path);

// Moves from over to, replacing to when it exists; 1 on success.
int replace_file(const char* from, const char* to);

// The process's current folder, without a trailing separator (unless root).
std::string current_folder();

#ifndef _WIN32
// The user's home folder: the default input folder, and the root of the
// settings file where no registry exists.
std::string home_folder();
#endif

// Tells the system that a large block about to be filled may be backed by
// large pages: far fewer page faults for a picture of many megabytes.
void advise_large_block(void* block, size_t bytes);

// An input file open for reading, and its size when it was opened.
struct input_file {
    intptr_t handle = -1;
    int64_t size = 0;
};

enum class input_open_result { opened, cannot_open, not_regular, failed };

// Opens a regular file for reading. Anything else (a folder, a device, a
// pipe) is refused before it is opened, so that nothing ever blocks.
input_open_result open_input_file(const char* path, input_file& file);

// Reads up to count bytes; fewer only at the end of the file. -1 on error.
int64_t read_input_file(input_file& file, void* out, size_t count);

// Moves to a byte offset from the start; 1 on success.
int seek_input_file(input_file& file, int64_t offset);

void close_input_file(input_file& file);

// A new file being written under a temporary name. On POSIX it is locked
// while open, so that a clean-up never takes a file a writer still holds.
struct new_file {
    intptr_t handle = -1;
};

// Creates the file; fails when anything exists under the name. 1 on success.
int create_new_file(const char* path, new_file& file);

// Writes all the bytes; 1 on success.
int write_new_file(new_file& file, const void* bytes, size_t count);

// Closes the file; 1 when everything written reached the system.
int close_new_file(new_file& file);

// The names in a folder (not "." or ".."); empty when it cannot be read.
std::vector<std::string> folder_names(const char* folder);

unsigned long current_process_id();

// 0 only when no process of that id runs on this machine.
int process_may_be_running(unsigned long id);

// Removes a file left by a writer that is gone; 0 when it is still held
// open by one, or cannot be removed.
int remove_abandoned_file(const char* path);
