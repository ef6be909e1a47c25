#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "routines/kgf_file.h"

#include <cstdio>

namespace {

// Blocks the stream decoder is tried on; larger pictures take seconds.
constexpr int64_t largest_stream_block = int64_t{1} << 22;

// The stream decoder over the same bytes taken as runs, into a block of
// the size the header states, for both callers.
void decode_stream(const uint8_t* data, size_t size, const kgf_header& header) {
    image_buffer image;
    init_image_buffer(image, 16);
    image.num_mipmaps = header.mip_count;
    image.width = header.width;
    image.height = header.height;
    const int64_t expected = mip_chain_bytes(image);
    if (size == 0 || expected > largest_stream_block || !try_allocate_block(image.data, expected))
        return;
    for (const int for_display : {for_conversion, for_preview}) {
        FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (stream == nullptr)
            return;
        rle_decode(stream, image, expected, for_display);
        std::fclose(stream);
    }
}

} // namespace

// The decoder reads from memory and reports nothing, for every caller: a
// conversion with the all-levels option off and on, and the preview.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct caller {
        kgf_levels levels;
        row_order rows;
    };
    kgf_reading reading;
    for (const caller& flags : {caller{kgf_levels::first_only, row_order::top_first},
                                caller{kgf_levels::from_file, row_order::top_first},
                                caller{kgf_levels::first_only, row_order::bottom_first}}) {
        byte_reader reader = memory_reader(data, size);
        image_buffer image;
        init_image_buffer(image, 16);
        decode_kgf(reader, image, flags.levels, flags.rows, reading);
    }
    if (reading.header_read)
        decode_stream(data, size, reading.header);
    return 0;
}
