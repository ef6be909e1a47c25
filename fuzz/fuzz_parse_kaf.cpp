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
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char*) {
        image_buffer image;
        decode_kaf_frame(animation.frame_data, frame,
                         static_cast<int64_t>(animation.frame_data.size()), image,
                         row_order::bottom_first);
    });
    return 0;
}
