#include "formats/kgf.h"

#include "formats/image_info.h"
#include "formats/stream_reading.h"
#include "platform/message.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int run_bytes = 3;
constexpr int64_t largest_run_bytes = 255 * 2; // a count byte of 255, two bytes each
constexpr size_t runs_per_read = 4096;
constexpr size_t runs_per_write = 4096;

// Skips the name: bytes up to and including the first NUL, or to the end.
bool skip_name(FILE* stream) {
    for (;;) {
        const int c = std::getc(stream);
        if (c == EOF)
            return false;
        if (c == 0)
            return true;
    }
}

// Stores count copies of a pixel at p; bytes at or past limit are dropped.
void store_run(uint8_t* out, int64_t limit, int64_t p, int count, uint8_t low, uint8_t high) {
    const int64_t end = std::min(limit, p + 2 * static_cast<int64_t>(count));
    for (int64_t q = p; q < end; q += 2) {
        out[q] = low;
        if (q + 1 < end)
            out[q + 1] = high;
    }
}

// Turns the first level upside down in place and clears what lies behind it.
void reverse_first_level(image_buffer& image, int64_t held) {
    uint8_t* data = image.data.data();
    if (image.width <= 0 || image.height <= 0) {
        std::fill(data, data + held, uint8_t{0});
        return;
    }
    const size_t row = static_cast<size_t>(image.width) * 2;
    const int64_t level = static_cast<int64_t>(row) * image.height;
    if (held < level) {
        // Not all rows are held: none can be moved whole.
        std::fill(data, data + held, uint8_t{0});
        return;
    }
    std::vector<uint8_t> spare(row);
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = data + static_cast<size_t>(top) * row;
        uint8_t* b = data + static_cast<size_t>(bottom) * row;
        std::memcpy(spare.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, spare.data(), row);
    }
    std::fill(data + level, data + held, uint8_t{0});
}

// Runs collected in memory and handed to the stream a block at a time.
struct run_writer {
    FILE* stream;
    std::vector<uint8_t> block;
    bool ok = true;

    void put(int count, unsigned value) {
        block.push_back(static_cast<uint8_t>(count == 1 ? 0 : count));
        block.push_back(static_cast<uint8_t>(value & 0xFF));
        block.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
        if (block.size() >= runs_per_write * run_bytes)
            flush();
    }
    void flush() {
        if (!block.empty() && std::fwrite(block.data(), 1, block.size(), stream) != block.size())
            ok = false;
        block.clear();
    }
};

} // namespace

int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display) {
    file_handle stream(std::fopen(path, "rb"));
    if (!stream)
        return 0;

    uint8_t prefix[3];
    if (std::fread(prefix, 1, sizeof prefix, stream.get()) != sizeof prefix ||
        !skip_name(stream.get())) {
        report_short_read(stream.get());
        return 0;
    }
    uint8_t fixed[kgf_fixed_header_bytes];
    const size_t got = std::fread(fixed, 1, sizeof fixed, stream.get());
    if (got >= 1)
        image_info.mip_levels = fixed[0];
    if (got != sizeof fixed) {
        report_short_read(stream.get());
        return 0;
    }

    const uint8_t mip_count = fixed[0];
    const uint8_t* filler = fixed + 1;
    const int16_t width = static_cast<int16_t>(fixed[10] | (fixed[11] << 8));
    const int16_t height = static_cast<int16_t>(fixed[12] | (fixed[13] << 8));
    const uint16_t format_field = static_cast<uint16_t>(fixed[14] | (fixed[15] << 8));

    if (std::any_of(filler, filler + 9, [](uint8_t b) { return b != 0; }))
        show_error_about("%s: Bad filler!", path);
    if (format_field != kgf_format_field)
        show_error_about("%s: Bad field value!", path);
    if (width < 0 || height < 0) {
        show_error_about("%s: Bad image size!", path);
        return 0;
    }

    if (use_file_mipmaps != 0 && settings.mipmaps != 0)
        image.num_mipmaps = mip_count;
    image.width = width;
    image.height = height;
    const int64_t expected_bytes = mip_chain_bytes(image);

    // A file too short to hold the runs for its claimed size is refused
    // before the block for that size is allocated.
    const int64_t remaining = bytes_remaining(stream.get());
    if (remaining == -2) {
        show_error("File I/O error");
        return 0;
    }
    if (remaining >= 0 && expected_bytes > remaining / run_bytes * largest_run_bytes) {
        show_error("File is missing some data; do not use");
        return 0;
    }

    if (!allocate_image_data(image, expected_bytes))
        return 0;
    const int64_t decoded = rle_decode(stream.get(), image, expected_bytes, for_display);
    if (decoded < 0) {
        show_error("File I/O error");
        return 0;
    }
    if (decoded < expected_bytes) {
        show_error("File is missing some data; do not use");
        return 0;
    }
    return 1;
}

int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display) {
    // Pixels are written straight into the block, never past its end nor past
    // expected_bytes; the count still covers every run applied.
    const int64_t held =
        std::min(std::max<int64_t>(expected_bytes, 0), static_cast<int64_t>(image.data.size()));
    uint8_t* out = image.data.data();
    uint8_t buffer[runs_per_read * run_bytes];
    int64_t p = 0;
    bool stopped_early = false;

    while (p < expected_bytes) {
        // Every run holds at least one pixel: never ask for more runs than
        // could still be needed.
        const int64_t most_needed = (expected_bytes - p + 1) / 2;
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(most_needed, runs_per_read)) * run_bytes;
        const size_t got = std::fread(buffer, 1, wanted, stream);
        const size_t whole_runs = got / run_bytes;
        for (size_t i = 0; i < whole_runs && p < expected_bytes; ++i) {
            const uint8_t* run = buffer + i * run_bytes;
            const int count = run[0] == 0 ? 1 : run[0];
            store_run(out, held, p, count, run[1], run[2]);
            p += 2 * static_cast<int64_t>(count);
        }
        if (got == wanted || p >= expected_bytes)
            continue;
        // The stream fell short while runs were still needed; a partial run
        // at the end is not applied.
        if (std::feof(stream) || !std::ferror(stream)) {
            stopped_early = true;
            break;
        }
        return -1;
    }

    if (for_display != 0) {
        if (stopped_early)
            std::fill(out, out + held, uint8_t{0}); // nothing is moved
        else
            reverse_first_level(image, held);
    }
    return p;
}

kgf_header build_kgf_header(const image_buffer& image) {
    kgf_header header{};
    header.prefix[0] = 0x00;
    header.prefix[1] = 0x00;
    header.prefix[2] = 0x7A;
    header.mip_count = static_cast<uint8_t>(image.num_mipmaps & 0xFF);
    header.width = image.width;
    header.height = image.height;
    header.format_field = kgf_format_field;
    return header;
}

int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes) {
    const kgf_header header = build_kgf_header(image);
    std::vector<uint8_t> lead(header.prefix, header.prefix + 3);
    if (name != nullptr)
        lead.insert(lead.end(), name, name + std::strlen(name));
    lead.push_back(0);
    lead.push_back(header.mip_count);
    lead.insert(lead.end(), header.filler, header.filler + 9);
    auto put16 = [&lead](uint16_t field) {
        lead.push_back(static_cast<uint8_t>(field & 0xFF));
        lead.push_back(static_cast<uint8_t>(field >> 8));
    };
    put16(static_cast<uint16_t>(header.width));
    put16(static_cast<uint16_t>(header.height));
    put16(header.format_field);
    if (std::fwrite(lead.data(), 1, lead.size(), stream) != lead.size())
        return 0;
    return rle_encode(stream, image, total_bytes);
}

int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes) {
    // A chain the block does not hold cannot be written whole.
    if (total_bytes > static_cast<int64_t>(image.data.size()))
        return 0;
    const uint8_t* data = image.data.data();

    // Level ends in bytes from the start of the chain; empty levels add none.
    std::vector<int64_t> level_ends;
    const int64_t first = static_cast<int64_t>(image.height) * image.bpp * image.width / 8;
    int64_t end = 0;
    for (int k = 0; k < image.num_mipmaps && first > 0; ++k) {
        const int64_t size = k < 32 ? first / (int64_t{1} << (2 * k)) : 0;
        if (size <= 0)
            break;
        end += size;
        level_ends.push_back(end);
    }

    // The pixel at p; an odd last byte is a pixel whose high byte is 0.
    auto pixel_at = [&](int64_t p) -> unsigned {
        return data[p] | (p + 1 < total_bytes ? data[p + 1] << 8 : 0);
    };

    run_writer writer{stream, {}};
    writer.block.reserve(runs_per_write * run_bytes);
    size_t level = 0;
    int64_t p = 0;
    while (p < total_bytes) {
        while (level < level_ends.size() && level_ends[level] <= p)
            ++level;
        // Bytes past the last level end (a caller's longer total) form one
        // more stretch that ends at total_bytes.
        const int64_t level_end =
            std::min(level < level_ends.size() ? level_ends[level] : total_bytes, total_bytes);
        const unsigned value = pixel_at(p);
        int count = 1;
        while (count < 250 && p + 2 * (count + 1) <= level_end && pixel_at(p + 2 * count) == value)
            ++count;
        writer.put(count, value);
        p += 2 * static_cast<int64_t>(count);
    }
    writer.flush();
    return writer.ok ? 1 : 0;
}
