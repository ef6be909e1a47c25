#include "routines/preview_read.h"

#include "formats/byte_reader.h"
#include "routines/messages.h"

int read_for_preview(const char* path, file_type type, file_description& found) {
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
                                  return describe_image(reader, type, found);
                              }).status;
    // Open failures: no reader got as far as a message.
    if (status == kgf_status::cannot_open)
        return 0;
    if (type == file_type::kaf) {
        show_failure(kaf_reading_failure(found.animation, status, path), path);
    } else {
        if (type == file_type::kgf)
            warn_kgf_header(message_box_sink(), found.kgf, path);
        report_status(status, path);
    }
    return status == kgf_status::ok ? 1 : 0;
}
