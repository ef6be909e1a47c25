#include "formats/tga.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz_input_file(data, size);
    for (int as_stored : {0, 1}) {
        image_buffer image;
        init_image_buffer(image, 32);
        read_tga(path.c_str(), image, as_stored);
    }
    return 0;
}
