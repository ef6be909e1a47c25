// An output file is written beside its final name and moved into place only
// once it is complete, so a failed write never destroys an existing file and
// never leaves a partial one behind.
#pragma once

#include <cstdio>
#include <string>

struct output_file {
    FILE* stream = nullptr;
    std::string final_path;
    std::string temporary_path;

    output_file() = default;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file(); // discards a file that was not committed
};

// Opens a temporary file beside path (the path with "~" appended, or
// "~1" to "~9" when that name is taken) for binary writing; 1 when open.
// Nothing is shown when it cannot be opened.
int open_output_file(output_file& file, const char* path);

// Closes the stream and, when every write succeeded (writes_ok non-zero and
// the stream reports no error), moves the file into place. Otherwise shows
// "File I/O error" and removes the temporary file. Returns 1 on success.
int commit_output_file(output_file& file, int writes_ok);

// Closes and removes the temporary file without a message.
void discard_output_file(output_file& file);
