#include "routines/tga_file.h"

#include "formats/byte_reader.h"
#include "formats/tga.h"
#include "routines/messages.h"

int read_tga(const char* path, image_buffer& image, int as_stored) {
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        return decode_tga(reader, image,
                          as_stored == top_row_first ? row_order::top_first
                                                     : row_order::bottom_first);
    });
    if (status == kgf_status::ok)
        return 1;
    if (status != kgf_status::cannot_open)
        report_status(status, path);
    return 0;
}
