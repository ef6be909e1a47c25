#include "convert/describe.h"

#include "convert/convert.h"
#include "formats/image_buffer.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/tga.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool ending_is(const char* ending, const char* lower, const char* upper) {
    return std::strcmp(ending, lower) == 0 || std::strcmp(ending, upper) == 0;
}

void fill(image_info_record& info, const char* type, const image_buffer& image, int frames) {
    std::snprintf(info.type_name, sizeof info.type_name, "%s", type);
    char resolution[32];
    std::snprintf(resolution, sizeof resolution, "%dx%d", image.width, image.height);
    std::snprintf(info.resolution, sizeof info.resolution, "%.9s", resolution);
    info.color_depth = image.bpp;
    info.mip_levels = image_info.mip_levels;
    info.frames = static_cast<uint8_t>(frames % 256);
}

} // namespace

describe_result describe_file(const char* path, image_info_record& info) {
    const char* ending = last_three(path);
    image_buffer image;
    if (ending_is(ending, "tga", "TGA")) {
        init_image_buffer(image, 32);
        if (!read_tga(path, image, 1))
            return describe_result::failed;
        fill(info, "TGA", image, 1);
        return describe_result::read;
    }
    if (ending_is(ending, "kgf", "KGF")) {
        init_image_buffer(image, 16);
        if (!read_kgf(path, image, 0, 1))
            return describe_result::failed;
        fill(info, "KGF", image, 1);
        return describe_result::read;
    }
    if (ending_is(ending, "kaf", "KAF")) {
        init_image_buffer(image, 16);
        std::vector<uint8_t> frame_data;
        std::vector<int32_t> frame_sizes;
        std::vector<char> frame_names;
        int32_t frame_count = 0;
        int64_t frame_data_size = 0;
        if (!parse_kaf(path, &image, frame_data, frame_sizes, frame_names, frame_count,
                       frame_data_size))
            return describe_result::failed;
        fill(info, "KAF", image, frame_count);
        return describe_result::read;
    }
    return describe_result::unknown_type;
}
