#include "formats/tga_to_kgf.h"

kgf_status decode_tga_for_kgf(byte_reader& reader, const tga_header& header, int levels,
                              kgf_quality quality, image_buffer& chain, image_buffer& source,
                              bool& direct) {
    // Straight rows are never held at their own depth, which for a large
    // picture is most of the time and memory.
    direct = tga_rows_convert_directly(header) && quality == kgf_quality::none;
    if (direct)
        return decode_tga_to_16(reader, header, levels, chain);
    init_image_buffer(source, 32);
    return decode_tga_after_header(reader, header, source, row_order::top_first);
}
