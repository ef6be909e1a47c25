#include "convert/describe.h"

#include "formats/png.h"
#include "formats/tga.h"

#include <cstdio>

namespace {

// The picture as the preview holds it, and the mip levels the file declares.
kgf_status read_picture(byte_reader& reader, file_type type, file_description& found, int& levels,
                        int& depth) {
    image_buffer& image = found.picture;
    switch (type) {
    case file_type::tga:
        init_image_buffer(image, 32);
        levels = 1;
        return decode_tga(reader, image, row_order::bottom_first);
    case file_type::png: {
        // The depth shown is the file's own, as for a TGA.
        init_image_buffer(image, 32);
        levels = 1;
        png_header header;
        const kgf_status status = decode_png(reader, image, row_order::bottom_first, &header);
        depth = png_pixel_bits(header);
        return status;
    }
    case file_type::kgf: {
        init_image_buffer(image, 16);
        const kgf_status status =
            decode_kgf(reader, image, kgf_levels::first_only, row_order::bottom_first, found.kgf);
        levels = found.kgf.header.mip_count;
        return status;
    }
    case file_type::kaf: {
        init_image_buffer(image, 16);
        const kgf_status status = decode_kaf(reader, found.animation);
        const kaf_animation& animation = found.animation;
        levels = animation.any_header ? animation.last_frame.mip_count : 0;
        if (animation.any_header) {
            image.width = static_cast<int16_t>(animation.first_frame.width);
            image.height = static_cast<int16_t>(animation.first_frame.height);
        }
        return status;
    }
    case file_type::none:
        break;
    }
    return kgf_status::unsupported_conversion;
}

} // namespace

kgf_status describe_image(byte_reader& reader, file_type type, file_description& found) {
    found = file_description{};
    int levels = 0;
    int depth = 0;
    const kgf_status status = read_picture(reader, type, found, levels, depth);
    if (status != kgf_status::ok)
        return status;
    const image_buffer& image = found.picture;
    image_info_record& info = found.info;
    const char* type_name = type == file_type::tga   ? "TGA"
                            : type == file_type::kgf ? "KGF"
                            : type == file_type::png ? "PNG"
                                                     : "KAF";
    std::snprintf(info.type_name, sizeof info.type_name, "%s", type_name);
    char resolution[32];
    std::snprintf(resolution, sizeof resolution, "%dx%d", image.width, image.height);
    std::snprintf(info.resolution, sizeof info.resolution, "%.9s", resolution);
    info.color_depth = static_cast<uint8_t>(depth != 0 ? depth : image.bpp);
    info.mip_levels = static_cast<uint8_t>(levels);
    info.frames =
        static_cast<uint8_t>(type == file_type::kaf ? found.animation.frame_count % 256 : 1);
    info.sizes_differ = type == file_type::kaf && found.animation.sizes_differ;
    return kgf_status::ok;
}
