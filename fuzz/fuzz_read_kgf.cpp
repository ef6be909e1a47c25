#include "formats/byte_reader.h"
#include "formats/kgf.h"

// The decoder reads from memory and reports nothing, for every caller: a
// conversion with the all-levels option off and on, and the preview.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct caller {
        kgf_levels levels;
        row_order rows;
    };
    for (const caller& flags : {caller{kgf_levels::first_only, row_order::top_first},
                                caller{kgf_levels::from_file, row_order::top_first},
                                caller{kgf_levels::first_only, row_order::bottom_first}}) {
        byte_reader reader = memory_reader(data, size);
        image_buffer image;
        init_image_buffer(image, 16);
        kgf_reading reading;
        decode_kgf(reader, image, flags.levels, flags.rows, reading);
    }
    return 0;
}
