#include "formats/rle.h"

#include "formats/bytes.h"

#include <algorithm>
#include <bit>
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
        const uint8_t low = run[1];
        const uint8_t high = run[2];
        if (p + 2 * count + 8 <= held) {
            // Far from the end: whole words of the pixel, the last one
            // reaching into what the next runs write anyway.
            const uint64_t pattern = (uint64_t{high} << 8 | low) * 0x0001000100010001ull;
            uint8_t* target = out + p;
            // Most runs are short: one word holds four pixels.
            std::memcpy(target, &pattern, 8);
            for (int64_t q = 8; q < 2 * count; q += 8)
                std::memcpy(target + q, &pattern, 8);
        } else {
            // Bytes at or past the end of the block are dropped; an odd end
            // keeps the low byte only.
            const int64_t end = std::min(held, p + 2 * count);
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
    // Runs that end early leave nothing of a last word behind them.
    if (p < held)
        std::fill(out + p, out + std::min(held, p + 8), uint8_t{0});
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

namespace {

// The runs of n whole pixels from pixels on, appended to out. Where each
// pixel differs from the next is found first, a bit per pixel, in one pass
// without branches; each set bit then ends a run, so that a run's end is no
// guess of the branch predictor.
void encode_stretch(std::vector<uint8_t>& out, const uint8_t* pixels, int64_t n,
                    std::vector<uint64_t>& ends) {
    ends.resize(static_cast<size_t>((n + 63) / 64));
    for (int64_t word = 0; word * 64 < n; ++word) {
        const uint8_t* at = pixels + 128 * word;
        const int64_t pairs = std::min<int64_t>(64, n - 1 - 64 * word);
        uint64_t bits = 0;
        int64_t b = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Four pixels against their four successors at once: a lane that
            // differs gets its top bit, and the four top bits are gathered.
            for (; b + 4 <= pairs; b += 4, at += 8) {
                uint64_t these, successors;
                std::memcpy(&these, at, 8);
                std::memcpy(&successors, at + 2, 8);
                const uint64_t differ = these ^ successors;
                const uint64_t tops =
                    (((differ & 0x7FFF7FFF7FFF7FFFull) + 0x7FFF7FFF7FFF7FFFull) | differ) &
                    0x8000800080008000ull;
                const uint64_t gathered = ((tops >> 15) * 0x0001000200040008ull >> 48) & 0xF;
                bits |= gathered << b;
            }
        }
        for (; b < pairs; ++b, at += 2)
            bits |= uint64_t{read_u16(at) != read_u16(at + 2)} << b;
        ends[static_cast<size_t>(word)] = bits;
    }
    // The stretch's last pixel ends its run.
    ends.back() |= uint64_t{1} << ((n - 1) % 64);

    // One run per end, and one more per 250 pixels of a longer one. They
    // gather in a block of their own and join the output a block at a time,
    // so that the output holds only what is written.
    uint8_t block[4096 * run_bytes];
    size_t used = 0;
    auto put = [&](int64_t count, uint8_t low, uint8_t high) {
        if (used == sizeof block) {
            out.insert(out.end(), block, block + used);
            used = 0;
        }
        // A count of 1 is written as 0, without a branch to guess.
        block[used] = static_cast<uint8_t>(count & -static_cast<int64_t>(count != 1));
        block[used + 1] = low;
        block[used + 2] = high;
        used += run_bytes;
    };
    int64_t first = 0;
    for (size_t word = 0; word < ends.size(); ++word) {
        for (uint64_t bits = ends[word]; bits != 0; bits &= bits - 1) {
            const int64_t last = static_cast<int64_t>(word) * 64 + std::countr_zero(bits);
            const uint8_t low = pixels[2 * first];
            const uint8_t high = pixels[2 * first + 1];
            int64_t count = last - first + 1;
            for (; count > longest_written_run; count -= longest_written_run)
                put(longest_written_run, low, high);
            put(count, low, high);
            first = last + 1;
        }
    }
    out.insert(out.end(), block, block + used);
}

} // namespace

void encode_runs(std::vector<uint8_t>& out, const uint8_t* chain, int64_t total_bytes,
                 const std::vector<int64_t>& level_ends) {
    std::vector<uint64_t> ends;
    size_t level = 0;
    int64_t p = 0;
    while (p < total_bytes) {
        while (level < level_ends.size() && level_ends[level] <= p)
            ++level;
        // Bytes past the last level end (a caller's longer total) form one
        // more stretch that ends at total_bytes. Runs never cross the end of
        // a stretch.
        const int64_t level_end =
            std::min(level < level_ends.size() ? level_ends[level] : total_bytes, total_bytes);
        const int64_t whole = (level_end - p) / 2;
        if (whole > 0)
            encode_stretch(out, chain + p, whole, ends);
        p += 2 * whole;
        if (p < level_end) {
            // A half pixel at the end: its high byte is the next byte of the
            // chain, or 0 at the chain's end.
            out.push_back(0);
            out.push_back(chain[p]);
            out.push_back(p + 1 < total_bytes ? chain[p + 1] : 0);
            p += 2;
        }
    }
}

void reverse_rows(uint8_t* rows, size_t row_bytes, int64_t row_count) {
    // Rows swap a piece at a time through a buffer of fixed size, so that
    // turning a picture never asks for memory.
    uint8_t spare[4096];
    for (int64_t top = 0, bottom = row_count - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rows + static_cast<size_t>(top) * row_bytes;
        uint8_t* b = rows + static_cast<size_t>(bottom) * row_bytes;
        for (size_t done = 0; done < row_bytes; done += sizeof spare) {
            const size_t piece = std::min(sizeof spare, row_bytes - done);
            std::memcpy(spare, a + done, piece);
            std::memcpy(a + done, b + done, piece);
            std::memcpy(b + done, spare, piece);
        }
    }
}
