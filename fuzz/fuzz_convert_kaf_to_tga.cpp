// KAF to TGA: reading, conversion and writing under every option.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_conversion(file_type::kaf, file_type::tga, data, size);
}
