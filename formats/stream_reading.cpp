#include "formats/stream_reading.h"

#include "platform/message.h"

void report_short_read(FILE* stream) {
    if (std::feof(stream) || !std::ferror(stream))
        show_error("File is missing some data; do not use");
    else
        show_error("File I/O error");
}

namespace {

int64_t tell_stream(FILE* stream) {
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return ftello(stream);
#endif
}

int seek_stream_to(FILE* stream, int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(stream, offset, origin) == 0 ? 1 : 0;
#else
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0 ? 1 : 0;
#endif
}

} // namespace

int seek_stream(FILE* stream, int64_t offset) {
    return seek_stream_to(stream, offset, SEEK_SET);
}

int64_t bytes_remaining(FILE* stream) {
    const int64_t here = tell_stream(stream);
    if (here < 0 || !seek_stream_to(stream, 0, SEEK_END))
        return -1;
    const int64_t end = tell_stream(stream);
    if (!seek_stream(stream, here))
        return -2;
    if (end < here)
        return -1;
    return end - here;
}
