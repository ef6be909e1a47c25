// The run-length code of KGF textures and KAF frames: runs of three bytes,
// a count (0 stands for one pixel) and a 16-bit pixel, low byte first. This
// is the one decoder and the one encoder of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int run_bytes = 3;
constexpr int longest_written_run = 250;
constexpr int64_t largest_run_bytes = 255 * 2; // a count byte of 255, two bytes each

inline int run_pixels(uint8_t count) {
    return count == 0 ? 1 : count;
}

struct run_decoding {
    int64_t decoded = 0;  // position reached: the last run counted whole
    size_t consumed = 0;  // run bytes used
    bool complete = true; // expected bytes were reached
};

// Applies the runs in runs[0, size) to out, from byte start on, until the
// position reaches expected_bytes. Bytes of a run at or past out_bytes are
// dropped; a run cut short by the end of the data is not applied.
run_decoding decode_runs(const uint8_t* runs, size_t size, uint8_t* out, int64_t out_bytes,
                         int64_t start, int64_t expected_bytes);

// Appends the runs of a 16-bit chain of levels: greedy runs of at most 250
// pixels that never cross the end of a level.
void encode_runs(std::vector<uint8_t>& out, const uint8_t* chain, int64_t total_bytes,
                 const std::vector<int64_t>& level_ends);

// Ends of the levels of a chain, in bytes from its start; empty levels add
// none.
std::vector<int64_t> chain_level_ends(int num_mipmaps, int width, int height, int bpp);

// Turns rows upside down in place.
void reverse_rows(uint8_t* rows, size_t row_bytes, int64_t row_count);
