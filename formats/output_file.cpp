#include "formats/output_file.h"

#include "platform/files.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// ".~kgf<process id>-<sequence>.tmp": hidden where dot names are, and told
// apart from every name a user or a conversion would give a file.
constexpr char temporary_lead[] = ".~kgf";
constexpr char temporary_end[] = ".tmp";

std::atomic<unsigned long> temporary_sequence{0};

std::string folder_of(const std::string& path) {
    const size_t cut = path.find_last_of(path_separator == '\\' ? "\\/" : "/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool all_digits(const std::string& text) {
    return !text.empty() && text.size() <= 10 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// A process id is 32 bits on every platform; ten digits can say more.
bool read_process_id(const std::string& digits, unsigned long& process_id) {
    uint64_t value = 0;
    for (const char c : digits)
        value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu)
        return false;
    process_id = static_cast<unsigned long>(value);
    return true;
}

} // namespace

int is_temporary_name(const std::string& name, unsigned long& process_id) {
    const size_t lead = sizeof temporary_lead - 1;
    const size_t end = sizeof temporary_end - 1;
    if (name.size() <= lead + end || name.compare(0, lead, temporary_lead) != 0 ||
        name.compare(name.size() - end, end, temporary_end) != 0)
        return 0;
    const std::string middle = name.substr(lead, name.size() - lead - end);
    const size_t dash = middle.find('-');
    if (dash == std::string::npos || !all_digits(middle.substr(0, dash)) ||
        !all_digits(middle.substr(dash + 1)))
        return 0;
    return read_process_id(middle.substr(0, dash), process_id) ? 1 : 0;
}

namespace {

// Creates a new temporary file in the folder (empty, or ending in its
// separator); its name is left in temporary, empty on failure.
bool create_temporary(const std::string& folder, new_file& file, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + temporary_lead + std::to_string(current_process_id()) + "-" +
                    std::to_string(++temporary_sequence) + temporary_end;
        if (create_new_file(temporary.c_str(), file))
            return true;
        // Taken by a file of an earlier run with the same id: try the next.
        if (!path_exists(temporary.c_str()))
            break;
    }
    temporary.clear();
    return false;
}

} // namespace

kgf_status prepare_output_folder(const char* folder) {
    if (!create_folder_with_parents(folder))
        return kgf_status::cannot_make_folder;
    std::string base = folder;
    if (!base.empty() && !is_path_separator(base.back()))
        base += path_separator;
    new_file file;
    std::string temporary;
    if (!create_temporary(base, file, temporary))
        return kgf_status::cannot_write_folder;
    close_new_file(file);
    delete_file(temporary.c_str());
    return kgf_status::ok;
}

kgf_status write_output_file(const char* path, const uint8_t* bytes, size_t size) {
    // A file the user marked read-only stays, as a write into it would.
    if (!may_replace_file(path))
        return kgf_status::cannot_create;
    new_file file;
    std::string temporary;
    if (!create_temporary(folder_of(path), file, temporary))
        return kgf_status::cannot_create;
    bool ok = size == 0 || write_new_file(file, bytes, size);
    ok = close_new_file(file) && ok;
    if (ok)
        ok = replace_file(temporary.c_str(), path) != 0;
    if (!ok) {
        delete_file(temporary.c_str());
        return kgf_status::cannot_write;
    }
    return kgf_status::ok;
}

std::string make_output_folder(const std::string& folder) {
    std::string wanted = folder;
    while (wanted.size() > 1 && is_path_separator(wanted.back()))
        wanted.pop_back();
    // The missing folders, the deepest first; made from the top down.
    std::vector<std::string> missing;
    for (std::string at = wanted; !at.empty() && !path_exists(at.c_str());) {
        missing.push_back(at);
        const std::string parent = folder_of(at);
        if (parent.empty() || parent.size() >= at.size())
            break;
        at = parent.size() > 1 ? parent.substr(0, parent.size() - 1) : parent;
    }
    for (auto part = missing.rbegin(); part != missing.rend(); ++part)
        if (!create_folder(part->c_str()) && !path_exists(part->c_str()))
            return *part;
    return std::string();
}

int write_output_now(const char* folder, const std::string& path, const std::vector<uint8_t>& bytes,
                     const report_sink& sink, run_inputs* run) {
    const std::string not_made = make_output_folder(folder);
    if (!not_made.empty()) {
        report(sink, kgf_status::folder_not_made, (not_made + " for " + path).c_str());
        return 0;
    }
    const kgf_status status = write_output_file(path.c_str(), bytes.data(), bytes.size());
    report(sink, status, path.c_str());
    if (status != kgf_status::ok)
        return 0;
    record_run_output(run, path);
    return 1;
}

int deliver_output(output_journal* journal, const char* folder, const std::string& path,
                   std::vector<uint8_t>&& bytes, const report_sink& sink, run_inputs* run) {
    if (journal == nullptr)
        return write_output_now(folder, path, bytes, sink, run);
    journal_entry entry;
    entry.is_output = true;
    entry.folder = folder;
    entry.path = path;
    entry.bytes = std::move(bytes);
    journal->entries.push_back(std::move(entry));
    return 1;
}

int remove_stale_temporaries(const char* folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/' && base.back() != path_separator)
        base += path_separator;
    int removed = 0;
    const unsigned long self = current_process_id();
    for (const std::string& name : folder_names(folder)) {
        unsigned long owner = 0;
        if (!is_temporary_name(name, owner) || owner == self || process_may_be_running(owner))
            continue;
        removed += remove_abandoned_file((base + name).c_str());
    }
    return removed;
}
