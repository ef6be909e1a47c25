#include "convert/describe.h"

#include "formats/kgf.h"
#include "formats/tga.h"

#include <cstdio>
#include <utility>

int read_for_preview(const char* path, file_type type, image_buffer& image,
                     kaf_animation& animation) {
    switch (type) {
    case file_type::tga:
        init_image_buffer(image, 32);
        return read_tga(path, image, bottom_row_first);
    case file_type::kgf:
        init_image_buffer(image, 16);
        return read_kgf(path, image, first_level_only, for_preview);
    case file_type::kaf: {
        init_image_buffer(image, 16);
        int64_t frame_data_size = 0;
        animation = kaf_animation{};
        return parse_kaf(path, &image, animation.frame_data, animation.frame_sizes,
                         animation.frame_names, animation.frame_count, frame_data_size);
    }
    case file_type::none:
        break;
    }
    return 0;
}

describe_result describe_file(const char* path, image_info_record& info, ending_case rule,
                              image_buffer* picture, kaf_animation* frames) {
    const file_type type = type_from_ending(path, rule);
    if (type == file_type::none)
        return describe_result::unknown_type;
    image_buffer image;
    kaf_animation animation;
    if (!read_for_preview(path, type, image, animation))
        return describe_result::failed;
    const char* type_name = type == file_type::tga ? "TGA" : type == file_type::kgf ? "KGF" : "KAF";
    std::snprintf(info.type_name, sizeof info.type_name, "%s", type_name);
    char resolution[32];
    std::snprintf(resolution, sizeof resolution, "%dx%d", image.width, image.height);
    std::snprintf(info.resolution, sizeof info.resolution, "%.9s", resolution);
    info.color_depth = image.bpp;
    info.mip_levels = image_info.mip_levels;
    info.frames = static_cast<uint8_t>(type == file_type::kaf ? animation.frame_count % 256 : 1);
    if (picture != nullptr)
        *picture = std::move(image);
    if (frames != nullptr)
        *frames = std::move(animation);
    return describe_result::read;
}
