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

// What a file operation came to: done, or failed for the system's reason
// (errno, or the Windows error code), which goes with the failure to
// whoever names it.
struct file_outcome {
    bool done = true;
    int system_error = 0;
    explicit operator bool() const { return done; }
};

// The system's words for an error number (errno here, a Windows error code
// on Windows), on one line without a closing full stop.
std::string system_error_text(unsigned long error);

// Creates the last component of the path; the result may be ignored.
file_outcome create_folder(const char* path);

// Creates the folder with every missing parent: done when it is a folder
// afterwards (a file in the way of any of its parts is "not a directory").
file_outcome create_folder_with_parents(const char* path);

// 1 when anything (file, folder, link) exists under the path.
int path_exists(const char* path);

// The size of a regular file and the time of its last write, in the finest
// ticks the system keeps; 0 when no regular file is there.
int file_size_and_time(const char* path, int64_t& size, int64_t& time);

// Fails when a file is there under the path that is marked read-only (or
// that this process may not write): an output never replaces it.
file_outcome may_replace_file(const char* path);

// Deletes a file; 1 on success.
int delete_file(const char* path);

// Moves from over to, replacing to when it exists.
file_outcome replace_file(const char* from, const char* to);

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

struct input_opening {
    input_open_result result = input_open_result::opened;
    int system_error = 0; // why it could not be opened
};

// Opens a regular file for reading. Anything else (a folder, a device, a
// pipe) is refused before it is opened, so that nothing ever blocks.
input_opening open_input_file(const char* path, input_file& file);

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

// Creates the file; fails when anything exists under the name.
file_outcome create_new_file(const char* path, new_file& file);

// Writes all the bytes.
file_outcome write_new_file(new_file& file, const void* bytes, size_t count);

// Closes the file: done when everything written reached the system.
file_outcome close_new_file(new_file& file);

// The names in a folder (not "." or ".."); empty when it cannot be read.
std::vector<std::string> folder_names(const char* folder);

unsigned long current_process_id();

// 0 only when no process of that id runs on this machine.
int process_may_be_running(unsigned long id);

// Removes a file left by a writer that is gone; 0 when it is still held
// open by one, or cannot be removed.
int remove_abandoned_file(const char* path);
