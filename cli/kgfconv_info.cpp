#include "cli/kgfconv.h"

#include "convert/describe.h"
#include "formats/byte_reader.h"

#include <cstdio>

namespace {

// Refuses, by name, a file that is missing or not a regular file before a
// reader opens it.
bool readable(const std::string& file) {
    input_file probe;
    const kgf_status status = open_reader_file(file.c_str(), probe);
    close_input_file(probe);
    report_status(status, file.c_str());
    return status == kgf_status::ok;
}

} // namespace

int run_info(const std::vector<std::string>& files) {
    int status = exit_ok;
    for (const std::string& file : files) {
        begin_file_messages(file, nullptr);
        image_info_record info = {};
        const bool ok = readable(file) && [&] {
            switch (describe_file(file.c_str(), info, ending_case::any)) {
            case describe_result::unknown_type:
                print_file_message(file, "Unsupported file type");
                return false;
            case describe_result::failed:
                return false;
            case describe_result::read:
                break;
            }
            return true;
        }();
        end_file_messages();
        if (!ok) {
            status = exit_failed;
            continue;
        }
        std::printf("%s\n  Type: %s\n  Resolution: %s\n  Color depth: %u\n  Mipmaps: %u\n"
                    "  Frames: %u\n",
                    file.c_str(), info.type_name, info.resolution, info.color_depth,
                    info.mip_levels, info.frames);
    }
    std::fflush(stdout);
    return status;
}
