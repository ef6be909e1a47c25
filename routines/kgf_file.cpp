#include "routines/kgf_file.h"

#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "routines/messages.h"
#include "settings/settings.h"

int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display) {
    const kgf_levels levels = use_file_mipmaps != 0 && settings.mipmaps != 0
                                  ? kgf_levels::from_file
                                  : kgf_levels::first_only;
    const row_order rows = for_display != 0 ? row_order::bottom_first : row_order::top_first;
    kgf_reading reading;
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        return decode_kgf(reader, image, levels, rows, reading);
    });
    if (status == kgf_status::cannot_open)
        return 0;
    report_kgf_reading(message_box_sink(), reading, status, path);
    return status == kgf_status::ok ? 1 : 0;
}
