#include "cli/kgfconv.h"

#include "convert/describe.h"

#include <cstdio>

int run_info(const std::vector<std::string>& files) {
    int status = exit_ok;
    for (const std::string& file : files) {
        FILE* probe = std::fopen(file.c_str(), "rb");
        if (probe == nullptr) {
            std::fprintf(stderr, "Error: Cannot open %s\n", file.c_str());
            status = exit_failed;
            continue;
        }
        std::fclose(probe);
        image_info_record info = {};
        switch (describe_file(file.c_str(), info)) {
        case describe_result::unknown_type:
            std::fprintf(stderr, "Error: Unsupported file type\n");
            status = exit_failed;
            break;
        case describe_result::failed:
            status = exit_failed;
            break;
        case describe_result::read:
            std::printf("%s\n  Type: %s\n  Resolution: %s\n  Color depth: %u\n  Mipmaps: %u\n"
                        "  Frames: %u\n",
                        file.c_str(), info.type_name, info.resolution, info.color_depth,
                        info.mip_levels, info.frames);
            break;
        }
    }
    std::fflush(stdout);
    return status;
}
