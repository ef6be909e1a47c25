#include "formats/rle.h"

#include <algorithm>
#include <cstring>

run_decoding decode_runs(const uint8_t* runs, size_t size, uint8_t* out, int64_t out_bytes,
                         int64_t start, int64_t expected_bytes) {
    run_decoding result;
    const int64_t held = std::min(std::max<int64_t>(out_bytes, 0), expected_bytes);
    const size_t whole = size / run_bytes * run_bytes;
    int64_t p = start;
    size_t k = 0;
    while (p < expected_bytes && k < whole) {
        const uint8_t* run = runs + k;
        const int64_t count = run_pixels(run[0]);
        k += run_bytes;
        const int64_t end = std::min(held, p + 2 * count);
        if (p < end) {
            // Pixels land on even offsets; an odd end keeps the low byte only.
            const uint8_t low = run[1];
            const uint8_t high = run[2];
            int64_t q = p;
            for (; q + 2 <= end; q += 2) {
                out[q] = low;
                out[q + 1] = high;
            }
            if (q < end)
                out[q] = low;
        }
        p += 2 * count;
    }
    result.decoded = p;
    result.consumed = k;
    result.complete = p >= expected_bytes;
    return result;
}

std::vector<int64_t> chain_level_ends(int num_mipmaps, int width, int height, int bpp) {
    std::vector<int64_t> ends;
    const int64_t first = static_cast<int64_t>(height) * bpp * width / 8;
    int64_t end = 0;
    for (int k = 0; k < num_mipmaps && k < 32 && first > 0; ++k) {
        const int64_t size = first >> (2 * k);
        if (size <= 0)
            break;
        end += size;
        ends.push_back(end);
    }
    return ends;
}

void encode_runs(std::vector<uint8_t>& out, const uint8_t* chain, int64_t total_bytes,
                 const std::vector<int64_t>& level_ends) {
    // The pixel at p; an odd last byte is a pixel whose high byte is 0.
    auto pixel_at = [&](int64_t p) -> unsigned {
        return chain[p] | (p + 1 < total_bytes ? chain[p + 1] << 8 : 0);
    };
    size_t level = 0;
    int64_t p = 0;
    while (p < total_bytes) {
        while (level < level_ends.size() && level_ends[level] <= p)
            ++level;
        // Bytes past the last level end (a caller's longer total) form one
        // more stretch that ends at total_bytes.
        const int64_t level_end =
            std::min(level < level_ends.size() ? level_ends[level] : total_bytes, total_bytes);
        // Whole pixels inside the level compare as 16-bit words.
        const unsigned value = pixel_at(p);
        int64_t limit = std::min<int64_t>(longest_written_run, (level_end - p) / 2);
        int64_t count = 1;
        while (count < limit && chain[p + 2 * count] == (value & 0xFF) &&
               chain[p + 2 * count + 1] == (value >> 8))
            ++count;
        out.push_back(static_cast<uint8_t>(count == 1 ? 0 : count));
        out.push_back(static_cast<uint8_t>(value & 0xFF));
        out.push_back(static_cast<uint8_t>(value >> 8));
        p += 2 * count;
    }
}

void reverse_rows(uint8_t* rows, size_t row_bytes, int64_t row_count) {
    if (row_bytes == 0 || row_count < 2)
        return;
    std::vector<uint8_t> spare(row_bytes);
    for (int64_t top = 0, bottom = row_count - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rows + static_cast<size_t>(top) * row_bytes;
        uint8_t* b = rows + static_cast<size_t>(bottom) * row_bytes;
        std::memcpy(spare.data(), a, row_bytes);
        std::memcpy(a, b, row_bytes);
        std::memcpy(b, spare.data(), row_bytes);
    }
}
