// Where a reader takes its bytes from: a block in memory, or an open input
// file read straight into the reader's own buffers. The readers work on this
// alone; a path-taking reader is a short wrapper that opens, calls, closes.
#pragma once

#include "formats/status.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct byte_reader {
    const uint8_t* memory = nullptr; // reading from memory, or
    input_file* file = nullptr;      // from an open file
    int64_t size = 0;                // bytes there are in all
    int64_t position = 0;
    bool failed = false; // the platform failed a read
};

byte_reader memory_reader(const uint8_t* bytes, size_t size);
byte_reader file_reader(input_file& file);

// Copies up to count bytes; fewer at the end of the data or after an error.
size_t read_bytes(byte_reader& reader, void* out, size_t count);

// Bytes between the position and the end.
int64_t bytes_left(const byte_reader& reader);

// Moves on by count bytes: ok, or short_read_status when they are not all
// there.
kgf_status skip_bytes(byte_reader& reader, int64_t count);

// Reads up to count bytes into a block of its own, sized by what is really
// there. no_memory when the block cannot be had (block empty).
kgf_status read_block(byte_reader& reader, int64_t count, std::vector<uint8_t>& block);

// Why a read fell short: an error of the platform, else missing data.
kgf_status short_read_status(const byte_reader& reader);

// Opens a regular file for a reader. Returns ok, cannot_open, not_a_file or
// io_error about the path, with the system's reason.
kgf_failure open_reader_file(const char* path, input_file& file);

// Opens the file at path, hands decode (kgf_status(byte_reader&)) a reader
// of it and closes it again. Returns what the open gave when it failed,
// else what decode returned, about the path.
template <typename decoder> kgf_failure decode_file(const char* path, decoder decode) {
    input_file file;
    kgf_failure opened = open_reader_file(path, file);
    if (opened.status != kgf_status::ok)
        return opened;
    byte_reader reader = file_reader(file);
    opened.status = decode(reader);
    close_input_file(file);
    return opened;
}
