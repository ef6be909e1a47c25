#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/kgf.h"

// The parser reads from memory and reports nothing; every frame of a file
// it takes is then decoded as the preview draws it: up to the end of the
// data, bottom row first.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    byte_reader reader = memory_reader(data, size);
    kaf_animation animation;
    if (decode_kaf(reader, animation) != kgf_status::ok)
        return 0;
    int64_t p = 0;
    for (int32_t i = 0; i < animation.frame_count; ++i) {
        kaf_frame frame;
        locate_kaf_frame(animation.frame_data, p, frame);
        p = frame.start + animation.frame_sizes[static_cast<size_t>(i)];
        image_buffer image;
        decode_kaf_frame(animation.frame_data, frame,
                         static_cast<int64_t>(animation.frame_data.size()), image, for_preview);
    }
    return 0;
}
