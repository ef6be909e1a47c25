#include "cli/kgfconv_tree.h"

#include "platform/files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

file_type type_of(const fs::path& file, file_type forced) {
    return forced != file_type::none
               ? forced
               : type_from_ending(path_text(file.filename()).c_str(), ending_case::any);
}

// A path lies inside a root when the root is a prefix of it, part by part.
bool lies_inside(const fs::path& path, const fs::path& root) {
    auto part = path.begin();
    for (const fs::path& root_part : root) {
        if (part == path.end() || *part != root_part)
            return false;
        ++part;
    }
    return true;
}

struct tree {
    fs::path root;           // as given
    fs::path canonical_root; // for links
    fs::path output;         // the output folder given
    fs::path canonical_output;
    file_type forced = file_type::none;
};

void walk(const fs::path& folder, const tree& where, convert_list& list) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    if (error) {
        // Never passed over in silence: the folder fails in its place.
        convert_item item;
        item.input = path_text(folder);
        item.unreadable = error.message();
        list.items.push_back(item);
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return a.path().filename() < b.path().filename();
              });
    for (const fs::directory_entry& entry : entries) {
        const fs::file_status own = entry.symlink_status(error);
        if (fs::is_directory(own)) {
            // An output folder inside the tree holds what earlier runs
            // wrote, not the mod's own files.
            if (fs::equivalent(entry.path(), where.canonical_output, error))
                continue;
            walk(entry.path(), where, list);
            continue;
        }
        const file_type type = type_of(entry.path(), where.forced);
        if (type == file_type::none) {
            ++list.skipped;
            continue;
        }
        if (fs::is_symlink(own)) {
            // A link to a folder could lead into a loop; a link to a file
            // counts only when the file lies inside the tree.
            const fs::path target = fs::canonical(entry.path(), error);
            if (error || !fs::is_regular_file(target, error) ||
                !lies_inside(target, where.canonical_root)) {
                ++list.skipped;
                continue;
            }
        }
        const fs::path below = entry.path().lexically_relative(where.root).parent_path();
        convert_item item;
        item.input = path_text(entry.path());
        item.output_dir = path_text(where.output / below);
        item.type = type;
        list.items.push_back(item);
    }
}

} // namespace

convert_list list_inputs(const std::vector<std::string>& arguments, const std::string& output_dir,
                         bool recursive, file_type forced) {
    convert_list list;
    for (const std::string& argument : arguments) {
        std::error_code error;
        const fs::path given = text_path(argument);
        const fs::file_status own = fs::symlink_status(given, error);
        const bool folder = fs::is_directory(given, error);
        if (folder && recursive) {
            // "mod/" and "mod" are the same tree.
            fs::path root = given.lexically_normal();
            if (!root.has_filename() && root.has_relative_path())
                root = root.parent_path();
            tree where;
            where.root = root;
            where.canonical_root = fs::canonical(root, error);
            if (error)
                where.canonical_root = root;
            where.output = text_path(output_dir);
            where.canonical_output = fs::weakly_canonical(fs::absolute(where.output, error), error);
            where.forced = forced;
            walk(root, where, list);
            continue;
        }
        convert_item item;
        item.input = argument;
        item.output_dir = output_dir;
        item.type = type_of(given, forced);
        item.is_folder = folder;
        item.missing = own.type() == fs::file_type::not_found;
        list.items.push_back(item);
    }
    return list;
}
