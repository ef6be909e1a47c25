#include "cli/kgfconv_watch_files.h"

#include "convert/output_names.h"
#include "platform/files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

file_stamp stamp_of(const std::string& path) {
    file_stamp stamp;
    stamp.there = file_size_and_time(path.c_str(), stamp.size, stamp.time) != 0;
    return stamp;
}

bool is_editors_file(const std::string& name) {
    return name.empty() || name.front() == '.' || name.front() == '~' || name.front() == '#' ||
           name.back() == '~';
}

std::vector<std::string> planned_outputs(const convert_item& item, file_type to,
                                         const conversion_options& options) {
    const std::string folder = folder_with_separator(item.output_dir);
    const std::string name = path_text(text_path(item.input).filename());
    // One output of the input's own name: the names the writers give.
    const bool one_level = item.type == file_type::tga || item.type == file_type::png;
    if (one_level || (item.type == file_type::kgf && to == file_type::kgf)) {
        return {folder + output_file_name(name, item.type, to)};
    }
    // A KGF's levels and an animation's frames are told by the conversion
    // itself, run with every output held and none written.
    output_journal journal;
    conversion_request request;
    request.from = item.type;
    request.to = to;
    request.input = item.input.c_str();
    request.folder = folder;
    request.options = options;
    request.journal = &journal;
    const conversion_result result = convert_file(request);
    std::vector<std::string> outputs;
    if (result.status != kgf_status::ok)
        return outputs;
    for (const journal_entry& entry : journal.entries)
        if (entry.is_output)
            outputs.push_back(entry.path);
    return outputs;
}

bool out_of_date(const convert_item& item, const std::vector<std::string>& outputs) {
    if (outputs.empty())
        return true;
    const file_stamp input = stamp_of(item.input);
    for (const std::string& output : outputs) {
        const file_stamp stamp = stamp_of(output);
        if (!stamp.there || stamp.time < input.time)
            return true;
    }
    return false;
}
