// The limits every reader and writer checks its sizes against, in one place.
#pragma once

#include <cstdint>

// Sides are signed 16-bit: at most 32767 pixels.
constexpr int largest_side = 32767;

// A first level's block: its size in bytes is computed in signed 32 bits.
constexpr int64_t largest_level_bytes = INT32_MAX;

// KAF frame data beyond this is left unread, like bytes after the last
// frame: 255 frames of the largest chain in single-pixel runs take 66 MB.
constexpr int64_t largest_frame_data = int64_t{128} << 20;

// KAF frames are at most this many pixels a side: the most a frame's header
// says the same to every reader.
constexpr int largest_frame_side = 128;

// The most frames one animation header can count.
constexpr int largest_frame_count = 255;

// Room of one packed frame name, its NUL included.
constexpr int kaf_name_bytes = 36;

// Folders and joined output paths live in 256-byte texts.
constexpr int path_bytes = 256;

// The per-level suffix field: nine characters and the NUL.
constexpr int suffix_bytes = 10;

// A KGF name of this many bytes with its NUL or more is not read by the game.
constexpr int game_name_bytes = 36;

// The mip levels a KGF is written with: the options dialog offers 1 or 5.
constexpr int largest_written_levels = 5;

// A PNG is decoded whole, by a library that counts in signed 32 bits: its
// inflated rows, and its pixels at 8 or 16 bits a sample, stay within 1 GiB.
constexpr int64_t largest_png_bytes = int64_t{1} << 30;
