// pack's run, which watch shares: the frames of a split, edited while
// watching, are packed as pack packs them.
#pragma once

#include "formats/kaf_pack.h"

#include <string>
#include <vector>

struct pack_command {
    std::string output;
    std::string like; // empty: no original
    int levels = 0;   // 0: the original frame's count, else the stored setting
    int dither = -1;  // quality choices: 1 on, 0 off, -1 the stored setting
    int srgb_mips = -1;
    int alpha_mips = -1;
    bool quiet = false;
    std::vector<std::string> frames;
};

// Writes one animation of the frames; see the pack command's help. The
// summary line ("OUT: 4 frames: ...") is printed, unless quiet, or stored in
// summary when given. Returns the exit status.
int run_pack(const pack_command& command, std::string* summary);

// Reads the original animation; false after naming the failure.
bool read_original(const std::string& path, kaf_original& original);

// Whether a file of this name is one of the original's frames, as a folder
// of a split gives them: a KGF or TGA file named as the frame, in any case.
bool is_frame_of(const std::string& file_name, const kaf_original& original);
