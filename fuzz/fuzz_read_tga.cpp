#include "formats/byte_reader.h"
#include "formats/tga.h"

// The decoder reads from memory and reports nothing: no file, no messages.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const row_order rows : {row_order::top_first, row_order::bottom_first}) {
        byte_reader reader = memory_reader(data, size);
        image_buffer image;
        init_image_buffer(image, 32);
        decode_tga(reader, image, rows);
    }
    return 0;
}
