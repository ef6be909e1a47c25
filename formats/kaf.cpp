#include "formats/kaf.h"

#include "formats/image_info.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/output_file.h"
#include "formats/stream_reading.h"
#include "platform/files.h"
#include "platform/message.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint8_t short_form_marker = 127;
constexpr int short_header_bytes = 7;
constexpr int long_header_bytes = 17;
constexpr int lead_bytes = 3;
constexpr int run_bytes = 3;
constexpr int longest_path = 255; // a path buffer holds 256 bytes with the NUL
const uint8_t kgf_prefix[lead_bytes] = {0x00, 0x00, 0x7A};

// 255 frames of the largest chain in single-pixel runs take about 66 MB.
// Bytes beyond this bound are left unread, like bytes after the last frame,
// so a huge file never asks for a block of its own size.
constexpr int64_t largest_frame_data = int64_t{128} << 20;

const char missing_data[] = "File is missing some data; do not use";

// Where one frame record lies in the frame data, and its header fields.
// Width, height and mip count are the unsigned low bytes, so that the parse
// and the split always agree on where a frame ends.
struct frame_record {
    int64_t start = 0;       // the lead bytes
    int64_t name_length = 0; // characters before the NUL
    int64_t header = 0;      // the 16 header bytes
    int64_t runs = 0;        // the first run record
    int64_t end = 0;         // one past the last run record of the frame
    bool has_header = false;
    int mip_count = 0;
    int width = 0;
    int height = 0;
};

// Pixels of a chain: level k holds w * h / 4^k pixels.
int64_t chain_pixels(int levels, int width, int height) {
    int64_t total = 0;
    int64_t level = static_cast<int64_t>(width) * height;
    for (int k = 0; k < levels && level > 0; ++k) {
        total += level;
        level /= 4;
    }
    return total;
}

inline int run_pixels(uint8_t count) {
    return count == 0 ? 1 : count;
}

// Run bytes from runs on until the counts reach wanted pixels or the runs
// end at limit; at least one record when one is there. Returns -1 when a
// record is cut short by limit.
int64_t scan_runs(const std::vector<uint8_t>& data, int64_t runs, int64_t limit, int64_t wanted) {
    int64_t k = 0;
    int64_t sum = 0;
    if (runs >= limit)
        return 0;
    do {
        if (runs + k + run_bytes > limit)
            return -1;
        sum += run_pixels(data[static_cast<size_t>(runs + k)]);
        k += run_bytes;
    } while (sum < wanted && runs + k < limit);
    return k;
}

// Finds the frame record that starts at start. False when any part of it
// lies past the end of the data.
bool locate_frame(const std::vector<uint8_t>& data, int64_t start, frame_record& frame) {
    const int64_t size = static_cast<int64_t>(data.size());
    frame = frame_record{};
    frame.start = start;
    const int64_t name = start + lead_bytes;
    if (name >= size)
        return false;
    const void* nul = std::memchr(data.data() + name, 0, static_cast<size_t>(size - name));
    if (nul == nullptr)
        return false;
    frame.name_length = static_cast<const uint8_t*>(nul) - (data.data() + name);
    frame.header = name + frame.name_length + 1;
    if (frame.header + kgf_fixed_header_bytes > size)
        return false;
    const uint8_t* header = data.data() + frame.header;
    frame.has_header = true;
    frame.mip_count = header[0];
    frame.width = header[10];
    frame.height = header[12];
    frame.runs = frame.header + kgf_fixed_header_bytes;
    const int64_t total = chain_pixels(frame.mip_count, frame.width, frame.height);
    const int64_t run_length = scan_runs(data, frame.runs, size, total);
    if (run_length < 0)
        return false;
    frame.end = frame.runs + run_length;
    return true;
}

// Reads the header and the frame data. Returns 0 after a message when the
// file cannot be read or its frame count is missing.
int load_kaf(FILE* stream, std::vector<uint8_t>& frame_data, int32_t& frame_count,
             int64_t& frame_data_size) {
    // The stream is at the start: what remains is the whole file.
    const int64_t length = bytes_remaining(stream);
    if (length < 0) {
        show_error("File I/O error");
        return 0;
    }
    uint8_t header[long_header_bytes] = {};
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(length, long_header_bytes));
    const size_t got = std::fread(header, 1, wanted, stream);
    if (got < wanted && std::ferror(stream)) {
        show_error("File I/O error");
        return 0;
    }
    const bool short_form = got > 0 && header[0] == short_form_marker;
    const int header_bytes = short_form ? short_header_bytes : long_header_bytes;
    const size_t count_at = short_form ? 2 : 0;
    if (got <= count_at) {
        show_error(missing_data);
        return 0;
    }
    frame_count = header[count_at];

    const int64_t rest = std::min(std::max<int64_t>(length - header_bytes, 0), largest_frame_data);
    if (rest > 0) {
        if (!allocate_block(frame_data, rest))
            return 0;
        if (!seek_stream(stream, header_bytes)) {
            show_error("File I/O error");
            return 0;
        }
        const size_t read = std::fread(frame_data.data(), 1, frame_data.size(), stream);
        if (read < frame_data.size() && std::ferror(stream)) {
            show_error("File I/O error");
            return 0;
        }
        frame_data.resize(read);
    }
    frame_data_size = static_cast<int64_t>(frame_data.size());
    return 1;
}

// Bytes of the header that the split file gets: prefix, name, mip count and
// the frame's other 15 header bytes as stored.
std::vector<uint8_t> split_header(const char* name, int mip_count, const uint8_t* frame_header) {
    const size_t name_bytes = std::strlen(name) + 1;
    std::vector<uint8_t> bytes(lead_bytes + name_bytes);
    std::memcpy(bytes.data(), kgf_prefix, lead_bytes);
    std::memcpy(bytes.data() + lead_bytes, name, name_bytes);
    bytes.push_back(static_cast<uint8_t>(mip_count));
    bytes.insert(bytes.end(), frame_header + 1, frame_header + kgf_fixed_header_bytes);
    return bytes;
}

inline int write_bytes(FILE* stream, const uint8_t* bytes, size_t count) {
    return count == 0 || std::fwrite(bytes, 1, count, stream) == count ? 1 : 0;
}

// The frame's header with the given mip count and its first runs as stored,
// up to the pixels of that many of its own levels.
int write_copied_frame(FILE* stream, const std::vector<uint8_t>& data, const frame_record& frame,
                       const char* name, int mip_count) {
    const std::vector<uint8_t> header = split_header(name, mip_count, data.data() + frame.header);
    const int64_t wanted =
        chain_pixels(std::min(mip_count, frame.mip_count), frame.width, frame.height);
    const int64_t length = scan_runs(data, frame.runs, frame.end, wanted);
    return write_bytes(stream, header.data(), header.size()) &&
           write_bytes(stream, data.data() + frame.runs, static_cast<size_t>(length));
}

// Decodes the frame's first level into image.data (excess pixels of the
// last run are dropped). False when the runs end before the level is whole.
bool decode_first_level(const std::vector<uint8_t>& data, const frame_record& frame,
                        image_buffer& image) {
    const int64_t pixels = static_cast<int64_t>(image.width) * image.height;
    int64_t q = 0;
    for (int64_t k = frame.runs; k + run_bytes <= frame.end && q < pixels; k += run_bytes) {
        const int64_t count =
            std::min<int64_t>(run_pixels(data[static_cast<size_t>(k)]), pixels - q);
        for (int64_t i = 0; i < count; ++i, ++q) {
            image.data[static_cast<size_t>(2 * q)] = data[static_cast<size_t>(k + 1)];
            image.data[static_cast<size_t>(2 * q + 1)] = data[static_cast<size_t>(k + 2)];
        }
    }
    return q >= pixels;
}

// The frame's first level with a chain of levels levels built from it.
// Falls back to the copy of one level when the first level is incomplete.
int write_rebuilt_frame(FILE* stream, const std::vector<uint8_t>& data, const frame_record& frame,
                        const char* name, int levels) {
    image_buffer image;
    init_image_buffer(image, 16);
    image.num_mipmaps = static_cast<int16_t>(levels);
    image.width = static_cast<int16_t>(frame.width);
    image.height = static_cast<int16_t>(frame.height);
    const int64_t total_bytes = mip_chain_bytes(image);
    if (!allocate_image_data(image, total_bytes))
        return 0;
    if (!decode_first_level(data, frame, image))
        return write_copied_frame(stream, data, frame, name, 1);
    build_mip_chain(image);
    const std::vector<uint8_t> header = split_header(name, levels, data.data() + frame.header);
    return write_bytes(stream, header.data(), header.size()) &&
           rle_encode(stream, image, total_bytes);
}

void write_frame(const char* folder, const std::vector<uint8_t>& data, const frame_record& frame,
                 const char* name) {
    if (!is_plain_frame_name(name)) {
        show_error_about("Bad frame name: %s", name);
        return;
    }
    const std::string path = std::string(folder) + name;
    if (path.size() > longest_path) {
        show_error_about("Path is too long: %s", name);
        return;
    }
    create_folder(folder);
    output_file file;
    if (!open_output_file(file, path.c_str()))
        return;
    const int levels = settings.num_mipmaps;
    const int ok = levels >= 2 ? write_rebuilt_frame(file.stream, data, frame, name, levels)
                               : write_copied_frame(file.stream, data, frame, name, levels);
    commit_output_file(file, ok);
}

} // namespace

// A frame name must be a bare file name: nothing that leads out of the folder.
int is_plain_frame_name(const char* name) {
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return 0;
    return std::strpbrk(name, "/\\:") == nullptr ? 1 : 0;
}

int parse_kaf(const char* path, image_buffer* image, std::vector<uint8_t>& frame_data,
              std::vector<int32_t>& frame_sizes, std::vector<char>& frame_names,
              int32_t& frame_count, int64_t& frame_data_size) {
    frame_data.clear();
    frame_sizes.clear();
    frame_names.clear();
    frame_count = 0;
    frame_data_size = 0;

    file_handle stream(std::fopen(path, "rb"));
    if (!stream)
        return 0;
    const int loaded = load_kaf(stream.get(), frame_data, frame_count, frame_data_size);
    stream.reset();
    if (!loaded)
        return 0;
    frame_sizes.assign(static_cast<size_t>(frame_count), 0);
    frame_names.assign(static_cast<size_t>(frame_count) * kaf_name_bytes, '\0');

    int64_t p = 0;
    size_t name_offset = 0;
    for (int32_t i = 0; i < frame_count; ++i) {
        frame_record frame;
        const bool whole = locate_frame(frame_data, p, frame);
        if (frame.has_header) {
            image_info.mip_levels = static_cast<uint8_t>(frame.mip_count);
            if (image != nullptr) {
                image->width = static_cast<int16_t>(frame.width);
                image->height = static_cast<int16_t>(frame.height);
            }
        }
        if (!whole) {
            show_error(missing_data);
            return 0;
        }
        // Longer names are cut to fit their slot; the record keeps its length.
        const size_t kept =
            static_cast<size_t>(std::min<int64_t>(frame.name_length, kaf_name_bytes - 1));
        std::memcpy(frame_names.data() + name_offset, frame_data.data() + frame.start + lead_bytes,
                    kept);
        frame_names[name_offset + kept] = '\0';
        name_offset += kept + 1;
        frame_sizes[static_cast<size_t>(i)] = static_cast<int32_t>(frame.end - frame.start);
        p = frame.end;
    }
    return 1;
}

int split_kaf(const char* folder, const char* path, std::vector<char>& frame_names,
              int32_t& frame_count) {
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    int64_t frame_data_size = 0;
    if (!parse_kaf(path, nullptr, frame_data, frame_sizes, frame_names, frame_count,
                   frame_data_size)) {
        frame_names.clear();
        frame_count = 0;
        show_message("Conversion terminated.", "Status", message_ok);
        return 0;
    }

    int64_t p = 0;
    size_t name_offset = 0;
    for (int32_t i = 0; i < frame_count; ++i) {
        frame_record frame;
        locate_frame(frame_data, p, frame); // the parse has found every frame whole
        const char* name = frame_names.data() + name_offset;
        name_offset += std::strlen(name) + 1;
        write_frame(folder, frame_data, frame, name);
        p = frame.start + frame_sizes[static_cast<size_t>(i)];
    }
    return 1;
}
