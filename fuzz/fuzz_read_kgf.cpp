#include "formats/byte_reader.h"
#include "formats/kgf.h"

// The decoder reads from memory and reports nothing, for every caller: a
// conversion with the all-levels option off and on, and the preview.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct caller {
        bool take_file_levels;
        bool for_display;
    };
    for (const caller& flags : {caller{false, false}, caller{true, false}, caller{false, true}}) {
        byte_reader reader = memory_reader(data, size);
        image_buffer image;
        init_image_buffer(image, 16);
        kgf_reading reading;
        decode_kgf(reader, image, flags.take_file_levels, flags.for_display, reading);
    }
    return 0;
}
