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

// A file found below the root: an item, or skipped.
void add_file(const fs::path& file, const fs::file_status& own, const tree& where,
              convert_list& list) {
    const file_type type = type_of(file, where.forced);
    if (type == file_type::none) {
        ++list.skipped;
        return;
    }
    if (fs::is_symlink(own)) {
        // A link to a folder could lead into a loop; a link to a file
        // counts only when the file lies inside the tree.
        std::error_code error;
        const fs::path target = fs::canonical(file, error);
        if (error || !fs::is_regular_file(target, error) ||
            !lies_inside(target, where.canonical_root)) {
            ++list.skipped;
            return;
        }
    }
    const fs::path below = file.lexically_relative(where.root).parent_path();
    convert_item item;
    item.input = path_text(file);
    item.output_dir = path_text(where.output / below);
    item.type = type;
    list.items.push_back(item);
}

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
        add_file(entry.path(), own, where, list);
    }
}

tree tree_of(const fs::path& given, const std::string& output_dir, file_type forced) {
    std::error_code error;
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
    return where;
}

} // namespace

bool item_in_tree(const std::string& folder, const std::string& file, const std::string& output_dir,
                  file_type forced, convert_item& item) {
    const tree where = tree_of(text_path(folder), output_dir, forced);
    std::error_code error;
    const fs::path path = text_path(file);
    const fs::file_status own = fs::symlink_status(path, error);
    if (error || fs::is_directory(own))
        return false;
    convert_list list;
    add_file(path, own, where, list);
    if (list.items.empty())
        return false;
    item = list.items.front();
    return true;
}

convert_list list_inputs(const std::vector<std::string>& arguments, const std::string& output_dir,
                         bool recursive, file_type forced) {
    convert_list list;
    for (const std::string& argument : arguments) {
        std::error_code error;
        const fs::path given = text_path(argument);
        const fs::file_status own = fs::symlink_status(given, error);
        const bool folder = fs::is_directory(given, error);
        if (folder && recursive) {
            const tree where = tree_of(given, output_dir, forced);
            walk(where.root, where, list);
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
