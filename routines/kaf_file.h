// The dialog program's KAF routines: a path in, the frames out, failures
// shown as messages.
#pragma once

#include "formats/image_buffer.h"

#include <cstdint>
#include <vector>

// Loads a KAF file and finds its frames. Returns 1 on success, 0 on failure
// (after "File is missing some data; do not use" when a frame does not fit).
int parse_kaf(const char* path, image_buffer* image, std::vector<uint8_t>& frame_data,
              std::vector<int32_t>& frame_sizes, std::vector<char>& frame_names,
              int32_t& frame_count, int64_t& frame_data_size);

// Writes each frame as folder + frame name (a KGF file of the stored level
// count). Returns 1 and the packed frame names when every frame was
// written; 0 otherwise, with the names of the frames that were parsed. A
// file that does not parse gives "Conversion terminated." and no names.
int split_kaf(const char* folder, const char* path, std::vector<char>& frame_names,
              int32_t& frame_count, std::vector<int32_t>* unwritten_frames = nullptr);
