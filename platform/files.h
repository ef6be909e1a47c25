// Folder creation, deletion and renaming, as the platform does them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
constexpr char path_separator = '\\';
#else
constexpr char path_separator = '/';
#endif

// Creates the last component of the path; the result may be ignored.
int create_folder(const char* path);

// 1 when anything (file, folder, link) exists under the path.
int path_exists(const char* path);

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
