// What the image-information window shows about a file.
#pragma once

#include <cstdint>

struct image_info_record {
    char type_name[4];   // "TGA", "KGF", "KAF" or empty
    char resolution[10]; // "<width>x<height>", at most 9 characters
    uint8_t color_depth;
    uint8_t mip_levels; // as the file declares them
    uint8_t frames;
};
