// What the image-information window shows of a file, computed as the panel
// and the preview compute it when the file is highlighted.
#pragma once

#include "convert/convert.h"
#include "formats/image_info.h"
#include "formats/kaf.h"

enum class describe_result { read, failed, unknown_type };

// Reads a file as the preview does, by its type: a TGA as stored, a KGF's
// first level for display, a KAF parsed into animation. The readers report
// their own failures. Returns 1 on success; 0 when the read failed.
int read_for_preview(const char* path, file_type type, image_buffer& image,
                     kaf_animation& animation);

// Reads the file by its ending (compared as rule says) and fills info. The
// picture read, and a KAF's frames, are handed out when asked for.
describe_result describe_file(const char* path, image_info_record& info,
                              ending_case rule = ending_case::exact,
                              image_buffer* picture = nullptr, kaf_animation* frames = nullptr);
