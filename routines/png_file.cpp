#include "routines/png_file.h"

#include "formats/byte_reader.h"
#include "formats/png.h"
#include "routines/image_info.h"
#include "routines/messages.h"

int read_png_for_preview(const char* path, image_buffer& image, uint8_t& depth) {
    init_image_buffer(image, 32);
    png_header header;
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        return decode_png(reader, image, row_order::bottom_first, &header);
    });
    if (status == kgf_status::ok) {
        // A PNG holds one level.
        image_info.mip_levels = 1;
        depth = static_cast<uint8_t>(png_pixel_bits(header));
        return 1;
    }
    if (status != kgf_status::cannot_open)
        report_status(status, path);
    return 0;
}
