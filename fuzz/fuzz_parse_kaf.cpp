#include "formats/kaf.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz_input_file(data, size);
    image_buffer image;
    init_image_buffer(image, 16);
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    int64_t frame_data_size = 0;
    parse_kaf(path.c_str(), &image, frame_data, frame_sizes, frame_names, frame_count,
              frame_data_size);
    return 0;
}
