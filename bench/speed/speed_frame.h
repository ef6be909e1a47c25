// The preview's decoding of one animation frame, timed in the process.
#pragma once

#include <string>

struct frame_timing {
    bool ok = false;
    std::string failure; // why no figure could be taken
    int side = 0;
    int levels = 0;
    double microseconds = 0; // per frame: median over the batches
    int batches = 0;
    int frames_per_batch = 0;
};

// Builds a frame record of a smooth side × side picture with the given
// levels, checks that it decodes to its own pixels, then times the preview's
// path over it: locate_kaf_frame, then decode_kaf_frame for display.
frame_timing time_frame_decode(int side, int levels);
