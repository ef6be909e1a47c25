#include "convert/output_names.h"

#include "formats/limits.h"
#include "formats/name_endings.h"
#include "platform/files.h"

std::string output_file_name(const std::string& name, file_type from, file_type to) {
    return with_ending(name, type_ending(from), type_ending(to));
}

std::string level_file_name(const std::string& name, file_type from, const char* suffix, int level,
                            file_type to) {
    // The name as it would be without an ending of its own: "x" of "x.tga".
    const std::string single = output_file_name(name, from, to);
    const std::string base = single.substr(0, single.size() - 4);
    return base + suffix + std::to_string(level) + "." + type_ending(to);
}

std::string folder_with_separator(std::string folder) {
    if (!folder.empty() && !is_path_separator(folder.back()))
        folder += path_separator;
    return folder;
}

kgf_failure join_output_path(const char* folder, const std::string& name, std::string& path) {
    path = std::string(folder) + name;
    if (path.size() + 1 > static_cast<size_t>(path_bytes))
        return kgf_failure{kgf_status::path_too_long, path};
    return kgf_failure{kgf_status::ok, path};
}
