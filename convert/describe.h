// What the image-information window shows of a file, computed as the panel
// and the preview compute it when the file is highlighted.
#pragma once

#include "formats/image_info.h"

enum class describe_result { read, failed, unknown_type };

// Reads the file by its ending (tga/TGA as stored, kgf/KGF for display,
// kaf/KAF parsed) and fills info; the readers report their own failures.
describe_result describe_file(const char* path, image_info_record& info);
