#include "formats/kgf.h"

#include "formats/bytes.h"
#include "formats/limits.h"
#include "formats/rle.h"

#include <algorithm>
#include <cstring>

namespace {

// Names are read in steps of this many bytes until their NUL turns up.
constexpr size_t name_step = 64 * 1024;

// Bytes of runs that could still be needed for the rest of a chain: every
// run covers at least one pixel.
int64_t most_run_bytes(int64_t expected_bytes) {
    return (expected_bytes + 1) / 2 * run_bytes;
}

// Skips the lead bytes and the name, of any length, and reads what follows
// the name's NUL into head: the fixed fields and the start of the runs.
// Only one step of the name is held at a time. False when the file ends
// before the fixed fields are whole; head then holds what came after the
// NUL, if it was found.
bool read_kgf_head(byte_reader& reader, std::vector<uint8_t>& head, kgf_status& status) {
    head.clear();
    std::vector<uint8_t> step(name_step);
    size_t to_skip = sizeof kgf_prefix;
    bool name_ended = false;
    while (!name_ended) {
        const size_t got = read_bytes(reader, step.data(), step.size());
        if (got == 0) {
            status = short_read_status(reader);
            return false;
        }
        const size_t skipped = std::min(to_skip, got);
        to_skip -= skipped;
        const uint8_t* nul =
            static_cast<const uint8_t*>(std::memchr(step.data() + skipped, 0, got - skipped));
        if (nul != nullptr) {
            head.assign(nul + 1, static_cast<const uint8_t*>(step.data() + got));
            name_ended = true;
        }
    }
    while (head.size() < static_cast<size_t>(kgf_fixed_header_bytes)) {
        const size_t got = read_bytes(reader, step.data(), step.size());
        if (got == 0) {
            status = short_read_status(reader);
            return false;
        }
        head.insert(head.end(), step.data(), step.data() + got);
    }
    return true;
}

} // namespace

kgf_header parse_kgf_header(const uint8_t fixed[kgf_fixed_header_bytes]) {
    kgf_header header{};
    std::memcpy(header.prefix, kgf_prefix, sizeof header.prefix);
    header.mip_count = fixed[0];
    std::memcpy(header.filler, fixed + 1, sizeof header.filler);
    header.width = read_s16(fixed + 10);
    header.height = read_s16(fixed + 12);
    header.format_field = read_u16(fixed + 14);
    return header;
}

kgf_status check_kgf_header(const kgf_header& header) {
    // Sides are signed: a set top bit is no size. Any two sides of 16 bits
    // give a first level inside the largest block.
    static_assert(int64_t{largest_side} * largest_side * 2 <= largest_level_bytes);
    if (header.width < 0 || header.height < 0)
        return kgf_status::bad_image_size;
    return kgf_status::ok;
}

bool kgf_filler_is_bad(const kgf_header& header) {
    return std::any_of(header.filler, header.filler + 9, [](uint8_t b) { return b != 0; });
}

bool kgf_field_is_bad(const kgf_header& header) {
    return header.format_field != kgf_format_field;
}

kgf_status decode_kgf(byte_reader& reader, image_buffer& image, kgf_levels levels, row_order rows,
                      kgf_reading& reading) {
    const bool for_display = rows == row_order::bottom_first;
    reading = kgf_reading{};
    std::vector<uint8_t> head;
    kgf_status status = kgf_status::ok;
    if (!read_kgf_head(reader, head, status)) {
        // A mip count read before the file ended still counts as read.
        if (!head.empty()) {
            reading.mip_count_read = true;
            reading.header.mip_count = head[0];
        }
        return status;
    }
    const kgf_header header = parse_kgf_header(head.data());
    reading.header = header;
    reading.header_read = true;
    reading.mip_count_read = true;
    const kgf_status checked = check_kgf_header(header);
    if (checked != kgf_status::ok)
        return checked;

    if (levels == kgf_levels::from_file)
        image.num_mipmaps = std::max<int16_t>(header.mip_count, 1);
    image.width = header.width;
    image.height = header.height;
    const int64_t expected_bytes = mip_chain_bytes(image);

    // The runs: what the head holds beyond the fixed fields, then the rest
    // of the file up to what the chain could need.
    const size_t in_head = head.size() - static_cast<size_t>(kgf_fixed_header_bytes);
    const int64_t there = static_cast<int64_t>(in_head) + bytes_left(reader);
    // A file too short to hold the runs for its claimed size is refused
    // before the block for that size is allocated.
    if (expected_bytes > there / run_bytes * largest_run_bytes)
        return kgf_status::missing_data;
    const int64_t wanted = std::min(there, most_run_bytes(expected_bytes));
    std::vector<uint8_t> runs;
    if (try_allocate_block(runs, wanted) != kgf_status::ok ||
        try_allocate_block(image.data, expected_bytes) != kgf_status::ok)
        return kgf_status::no_memory;
    const size_t from_head = std::min(in_head, runs.size());
    if (from_head > 0)
        std::memcpy(runs.data(), head.data() + kgf_fixed_header_bytes, from_head);
    head = std::vector<uint8_t>();
    const size_t got = runs.size() > from_head
                           ? read_bytes(reader, runs.data() + from_head, runs.size() - from_head)
                           : 0;
    if (reader.failed)
        return kgf_status::io_error;
    const size_t held = from_head + got;

    const run_decoding result =
        decode_runs(runs.data(), held, image.data.data(), static_cast<int64_t>(image.data.size()),
                    0, expected_bytes);
    if (for_display)
        keep_first_level_for_display(image, static_cast<int64_t>(image.data.size()),
                                     result.complete);
    return result.complete ? kgf_status::ok : kgf_status::missing_data;
}

void keep_first_level_for_display(image_buffer& image, int64_t held, bool complete) {
    uint8_t* data = image.data.data();
    held = std::clamp<int64_t>(held, 0, static_cast<int64_t>(image.data.size()));
    const size_t row = static_cast<size_t>(std::max<int>(image.width, 0)) * 2;
    const int64_t level = static_cast<int64_t>(row) * std::max<int>(image.height, 0);
    // Nothing is moved when the level is not whole.
    if (!complete || level > held) {
        std::fill(data, data + held, uint8_t{0});
        return;
    }
    reverse_rows(data, row, image.height);
    std::fill(data + level, data + held, uint8_t{0});
}

void warn_kgf_header(const report_sink& sink, const kgf_reading& reading, const char* subject) {
    if (!reading.header_read)
        return;
    if (kgf_filler_is_bad(reading.header))
        warn(sink, kgf_status::bad_filler, subject);
    if (kgf_field_is_bad(reading.header))
        warn(sink, kgf_status::bad_field_value, subject);
}

kgf_header build_kgf_header(const image_buffer& image) {
    kgf_header header{};
    std::memcpy(header.prefix, kgf_prefix, sizeof header.prefix);
    header.mip_count = static_cast<uint8_t>(image.num_mipmaps & 0xFF);
    header.width = image.width;
    header.height = image.height;
    header.format_field = kgf_format_field;
    return header;
}

kgf_status encode_kgf(std::vector<uint8_t>& out, const char* name, const image_buffer& image,
                      int64_t total_bytes) {
    // A chain the block does not hold cannot be written whole.
    if (total_bytes > static_cast<int64_t>(image.data.size()))
        return kgf_status::bad_image_size;
    const kgf_header header = build_kgf_header(image);
    const size_t name_length = name != nullptr ? std::strlen(name) : 0;
    // Most pictures need far fewer run bytes than pixel bytes.
    out.reserve(out.size() + sizeof kgf_prefix + name_length + 1 + kgf_fixed_header_bytes +
                static_cast<size_t>(std::max<int64_t>(total_bytes, 0)) / 2);
    out.insert(out.end(), header.prefix, header.prefix + 3);
    out.insert(out.end(), name, name + name_length);
    out.push_back(0);
    out.push_back(header.mip_count);
    out.insert(out.end(), header.filler, header.filler + 9);
    append_u16(out, static_cast<uint16_t>(header.width));
    append_u16(out, static_cast<uint16_t>(header.height));
    append_u16(out, header.format_field);
    encode_runs(out, image.data.data(), total_bytes,
                chain_level_ends(image.num_mipmaps, image.width, image.height, image.bpp));
    return kgf_status::ok;
}
