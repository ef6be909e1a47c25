#include "formats/kgf.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz_input_file(data, size);
    // Every caller's flags, with the all-levels option on and off.
    const int flags[][3] = {{1, 0, 0}, {1, 0, 1}, {0, 1, 0}};
    for (const auto& flag : flags) {
        settings.mipmaps = static_cast<uint8_t>(flag[2]);
        image_buffer image;
        init_image_buffer(image, 16);
        read_kgf(path.c_str(), image, flag[0], flag[1]);
    }
    return 0;
}
