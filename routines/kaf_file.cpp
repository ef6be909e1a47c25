#include "routines/kaf_file.h"

#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "routines/messages.h"
#include "settings/settings.h"

int parse_kaf(const char* path, image_buffer* image, std::vector<uint8_t>& frame_data,
              std::vector<int32_t>& frame_sizes, std::vector<char>& frame_names,
              int32_t& frame_count, int64_t& frame_data_size) {
    frame_data.clear();
    frame_sizes.clear();
    frame_names.clear();
    frame_count = 0;
    frame_data_size = 0;

    kaf_animation animation;
    const kgf_status status =
        decode_file(path, [&](byte_reader& reader) { return decode_kaf(reader, animation); });
    if (status == kgf_status::cannot_open)
        return 0;
    // The first frame's size stands for the animation, as the first frame
    // shows first.
    if (animation.any_header && image != nullptr) {
        image->width = static_cast<int16_t>(animation.first_frame.width);
        image->height = static_cast<int16_t>(animation.first_frame.height);
    }
    frame_count = animation.frame_count;
    frame_data_size = static_cast<int64_t>(animation.frame_data.size());
    frame_data = std::move(animation.frame_data);
    frame_sizes = std::move(animation.frame_sizes);
    frame_names = std::move(animation.frame_names);
    report_kaf_reading(message_box_sink(path), animation, status, path);
    return status == kgf_status::ok ? 1 : 0;
}

int split_kaf(const char* folder, const char* path, std::vector<char>& frame_names,
              int32_t& frame_count, std::vector<int32_t>* unwritten_frames) {
    kaf_animation animation;
    int64_t frame_data_size = 0;
    if (!parse_kaf(path, nullptr, animation.frame_data, animation.frame_sizes,
                   animation.frame_names, animation.frame_count, frame_data_size)) {
        frame_names.clear();
        frame_count = 0;
        report_status(kgf_status::conversion_terminated, nullptr);
        return 0;
    }
    const int failed = split_frames(animation, folder, settings.num_mipmaps, kgf_quality::none,
                                    nullptr, unwritten_frames, message_box_sink());
    frame_names = std::move(animation.frame_names);
    frame_count = animation.frame_count;
    return failed == 0 ? 1 : 0;
}
