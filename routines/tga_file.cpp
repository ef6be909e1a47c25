#include "routines/tga_file.h"

#include "formats/byte_reader.h"
#include "formats/tga.h"
#include "routines/image_info.h"
#include "routines/messages.h"

int read_tga(const char* path, image_buffer& image, int as_stored) {
    bool header_read = false;
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        const kgf_status decoded =
            decode_tga(reader, image,
                       as_stored == top_row_first ? row_order::top_first : row_order::bottom_first);
        header_read = reader.position >= tga_header_size;
        return decoded;
    });
    // A TGA holds one level; shown once the header is in.
    if (header_read)
        image_info.mip_levels = 1;
    if (status == kgf_status::ok)
        return 1;
    if (status != kgf_status::cannot_open)
        report_status(status, path);
    return 0;
}
