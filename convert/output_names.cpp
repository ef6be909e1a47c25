#include "convert/output_names.h"

#include "formats/limits.h"
#include "platform/files.h"

std::string replace_extension(const std::string& name, const char* extension) {
    if (name.size() < 3)
        return name + "." + extension;
    return name.substr(0, name.size() - 3) + extension;
}

std::string level_file_name(const std::string& name, const char* suffix, int level,
                            const char* extension) {
    const std::string base = name.size() < 5 ? name : name.substr(0, name.size() - 4);
    return base + suffix + std::to_string(level) + "." + extension;
}

std::string folder_with_separator(std::string folder) {
    if (!folder.empty() && !is_path_separator(folder.back()))
        folder += path_separator;
    return folder;
}

int join_output_path(const char* folder, const std::string& name, std::string& path,
                     const report_sink& sink) {
    path = std::string(folder) + name;
    if (path.size() + 1 > static_cast<size_t>(path_bytes)) {
        report(sink, kgf_status::path_too_long, path.c_str());
        return 0;
    }
    return 1;
}
