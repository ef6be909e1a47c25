// What the image-information window shows about the highlighted file.
#pragma once

#include <cstdint>

struct image_info_record {
    char type_name[4];   // "TGA", "KGF", "KAF" or empty
    char resolution[10]; // "<width>x<height>", at most 9 characters
    uint8_t color_depth;
    uint8_t mip_levels; // set by the readers while they read
    uint8_t frames;
};

extern image_info_record image_info;
