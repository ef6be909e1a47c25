// The game's animation file: a header and a series of KGF-like frames.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>
#include <vector>

constexpr int kaf_name_bytes = 36; // room of one packed frame name

// Loads a KAF file and finds its frames. Returns 1 on success, 0 on failure
// (after "File is missing some data; do not use" when a frame does not fit).
int parse_kaf(const char* path, image_buffer* image, std::vector<uint8_t>& frame_data,
              std::vector<int32_t>& frame_sizes, std::vector<char>& frame_names,
              int32_t& frame_count, int64_t& frame_data_size);

// 1 when a frame name is a bare file name that stays inside the folder it is
// joined to; frames with other names are refused by the splitter.
int is_plain_frame_name(const char* name);

// Writes each frame as folder + frame name (a KGF file). Returns 1 and the
// packed frame names, or 0 after "Conversion terminated." on failure.
int split_kaf(const char* folder, const char* path, std::vector<char>& frame_names,
              int32_t& frame_count);
