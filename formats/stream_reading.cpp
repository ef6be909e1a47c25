#include "formats/stream_reading.h"

#include "platform/message.h"

void report_short_read(FILE* stream) {
    if (std::feof(stream) || !std::ferror(stream))
        show_error("File is missing some data; do not use");
    else
        show_error("File I/O error");
}

int64_t bytes_remaining(FILE* stream) {
    const long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(stream);
    if (std::fseek(stream, here, SEEK_SET) != 0)
        return -2;
    if (end < here)
        return -1;
    return static_cast<int64_t>(end) - here;
}
