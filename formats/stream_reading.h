// What every reader does with its stream: close it on every path, report a
// short read, and size what it allocates by the bytes the file really holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

struct file_closer {
    void operator()(FILE* stream) const { std::fclose(stream); }
};
using file_handle = std::unique_ptr<FILE, file_closer>;

// After a short read: "File is missing some data; do not use" at end of file
// (or when neither indicator is set), else "File I/O error".
void report_short_read(FILE* stream);

// Bytes between the stream's position and its end; -1 when the stream cannot
// tell, -2 when it could not be put back where it was.
int64_t bytes_remaining(FILE* stream);

// Moves to a byte offset from the start, beyond 2 GiB too; 1 on success.
int seek_stream(FILE* stream, int64_t offset);
