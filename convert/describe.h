// What the image-information window shows of a file, computed as the panel
// and the preview compute it when the file is highlighted.
#pragma once

#include "convert/file_type.h"
#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/kgf.h"

#include <cstdint>

// What the image-information window shows about a file: the dialog's
// record of the highlighted file and kgfconv info's fields.
struct image_info_record {
    char type_name[4];   // "TGA", "KGF", "PNG", "KAF" or empty
    char resolution[10]; // "<width>x<height>", at most 9 characters
    uint8_t color_depth;
    uint8_t mip_levels; // as the file declares them
    uint8_t frames;
    bool sizes_differ; // frames of more than one size; the resolution is the first's
};

// The note on a file with sizes_differ set: "sizes differ".
constexpr const char* sizes_differ_note = "sizes differ";

// What a description found: the fields the window shows, the picture and a
// KAF's frames as read, and a KGF's header for its warnings.
struct file_description {
    image_info_record info = {};
    image_buffer picture;
    kaf_animation animation;
    kgf_reading kgf;
};

// Reads a file of the given type as the preview does and fills found from
// what was read alone. Reports nothing: the caller shows the header's
// warnings (found.kgf) and the status.
kgf_status describe_image(byte_reader& reader, file_type type, file_description& found);
