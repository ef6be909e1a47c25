// Folder creation, deletion and renaming, as the platform does them.
#pragma once

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
