// Scratch folders and file bytes for tests, through the platform alone: the
// core's tests use them as well as the routines'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A fresh empty folder for one test, removed with its contents afterwards.
struct scratch_folder {
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    std::string path;                                // without trailing separator
    std::string file(const std::string& name) const; // path + separator + name
    std::string folder_text() const;                 // path + separator
};

// Changes the current folder for the lifetime of the object.
struct current_folder_change {
    explicit current_folder_change(const std::string& folder);
    ~current_folder_change();
    std::string previous;
};

std::vector<uint8_t> read_file_bytes(const std::string& path);
void write_file_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool file_exists(const std::string& path);

// FNV-1a over the bytes, going on from hash: a digest to pin files by.
inline uint64_t fnv1a(uint64_t hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3u;
    return hash;
}
std::vector<std::string> list_folder(const std::string& path); // sorted names
