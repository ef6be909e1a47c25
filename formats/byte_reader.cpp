#include "formats/byte_reader.h"

#include "formats/image_buffer.h"

#include <algorithm>
#include <cstring>

byte_reader memory_reader(const uint8_t* bytes, size_t size) {
    byte_reader reader;
    reader.memory = bytes;
    reader.size = bytes != nullptr ? static_cast<int64_t>(size) : 0;
    return reader;
}

byte_reader file_reader(input_file& file) {
    byte_reader reader;
    reader.file = &file;
    reader.size = file.size;
    return reader;
}

int64_t bytes_left(const byte_reader& reader) {
    return std::max<int64_t>(reader.size - reader.position, 0);
}

size_t read_bytes(byte_reader& reader, void* out, size_t count) {
    if (reader.failed)
        return 0;
    const int64_t left = bytes_left(reader);
    const size_t wanted = static_cast<uint64_t>(left) < count ? static_cast<size_t>(left) : count;
    if (wanted == 0)
        return 0;
    if (reader.file == nullptr) {
        std::memcpy(out, reader.memory + reader.position, wanted);
        reader.position += static_cast<int64_t>(wanted);
        return wanted;
    }
    const int64_t got = read_input_file(*reader.file, out, wanted);
    if (got < 0) {
        reader.failed = true;
        return 0;
    }
    reader.position += got;
    // A file that shrank since it was opened ends here.
    if (static_cast<size_t>(got) < wanted)
        reader.size = reader.position;
    return static_cast<size_t>(got);
}

kgf_status skip_bytes(byte_reader& reader, int64_t count) {
    if (reader.failed || count < 0)
        return short_read_status(reader);
    if (count > bytes_left(reader)) {
        reader.position = reader.size;
        return short_read_status(reader);
    }
    if (reader.file != nullptr && !seek_input_file(*reader.file, reader.position + count)) {
        reader.failed = true;
        return short_read_status(reader);
    }
    reader.position += count;
    return kgf_status::ok;
}

kgf_status read_block(byte_reader& reader, int64_t count, std::vector<uint8_t>& block) {
    const int64_t there = std::min(std::max<int64_t>(count, 0), bytes_left(reader));
    if (try_allocate_block(block, there) != kgf_status::ok)
        return kgf_status::no_memory;
    const size_t got = block.empty() ? 0 : read_bytes(reader, block.data(), block.size());
    block.resize(got);
    return kgf_status::ok;
}

kgf_status short_read_status(const byte_reader& reader) {
    return reader.failed ? kgf_status::io_error : kgf_status::missing_data;
}

kgf_failure open_reader_file(const char* path, input_file& file) {
    const input_opening opening = open_input_file(path, file);
    switch (opening.result) {
    case input_open_result::opened:
        return kgf_failure{kgf_status::ok, path};
    case input_open_result::not_regular:
        return kgf_failure{kgf_status::not_a_file, path};
    case input_open_result::failed:
        // "File I/O error" says nothing more.
        return kgf_failure{kgf_status::io_error, path};
    case input_open_result::cannot_open:
        break;
    }
    return kgf_failure{kgf_status::cannot_open, path, opening.system_error};
}
