#include "routines/preview_read.h"

#include "routines/kaf_file.h"
#include "routines/kgf_file.h"
#include "routines/png_file.h"
#include "routines/tga_file.h"

namespace {

int read_picture(const char* path, file_type type, image_buffer& image, kaf_animation& animation,
                 uint8_t& depth) {
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
    case file_type::png:
        return read_png_for_preview(path, image, depth);
    case file_type::none:
        break;
    }
    return 0;
}

} // namespace

int read_for_preview(const char* path, file_type type, image_buffer& image,
                     kaf_animation& animation, uint8_t& depth) {
    depth = 0;
    const int ok = read_picture(path, type, image, animation, depth);
    if (depth == 0)
        depth = image.bpp;
    return ok;
}
