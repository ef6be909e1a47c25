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
file_outcome create_temporary(const std::string& folder, new_file& file, std::string& temporary) {
    file_outcome created;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + temporary_lead + std::to_string(current_process_id()) + "-" +
                    std::to_string(++temporary_sequence) + temporary_end;
        created = create_new_file(temporary.c_str(), file);
        if (created)
            return created;
        // Taken by a file of an earlier run with the same id: try the next.
        if (!path_exists(temporary.c_str()))
            break;
    }
    temporary.clear();
    return created;
}

} // namespace

kgf_failure prepare_output_folder(const char* folder) {
    const file_outcome made = create_folder_with_parents(folder);
    if (!made)
        return kgf_failure{kgf_status::cannot_make_folder, folder, made.system_error};
    std::string base = folder;
    if (!base.empty() && !is_path_separator(base.back()))
        base += path_separator;
    new_file file;
    std::string temporary;
    const file_outcome created = create_temporary(base, file, temporary);
    if (!created)
        return kgf_failure{kgf_status::cannot_write_folder, folder, created.system_error};
    close_new_file(file);
    delete_file(temporary.c_str());
    return kgf_failure{kgf_status::ok, folder};
}

kgf_failure write_output_file(const char* path, const uint8_t* bytes, size_t size) {
    // A file the user marked read-only stays, as a write into it would.
    const file_outcome replaceable = may_replace_file(path);
    if (!replaceable)
        return kgf_failure{kgf_status::cannot_create, path, replaceable.system_error};
    new_file file;
    std::string temporary;
    const file_outcome created = create_temporary(folder_of(path), file, temporary);
    if (!created)
        return kgf_failure{kgf_status::cannot_create, path, created.system_error};
    // The first step that fails gives the reason.
    file_outcome written = size == 0 ? file_outcome{} : write_new_file(file, bytes, size);
    const file_outcome closed = close_new_file(file);
    if (written)
        written = closed;
    if (written)
        written = replace_file(temporary.c_str(), path);
    if (!written) {
        delete_file(temporary.c_str());
        return kgf_failure{kgf_status::cannot_write, path, written.system_error};
    }
    return kgf_failure{kgf_status::ok, path};
}

kgf_failure make_output_folder(const std::string& folder) {
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
    for (auto part = missing.rbegin(); part != missing.rend(); ++part) {
        const file_outcome made = create_folder(part->c_str());
        if (!made && !path_exists(part->c_str()))
            return kgf_failure{kgf_status::folder_not_made, *part, made.system_error};
    }
    return kgf_failure{};
}

kgf_failure write_output_now(const char* folder, const std::string& path,
                             const std::vector<uint8_t>& bytes, run_inputs* run) {
    kgf_failure made = make_output_folder(folder);
    if (made.status != kgf_status::ok) {
        made.subject += " for " + path;
        return made;
    }
    const kgf_failure written = write_output_file(path.c_str(), bytes.data(), bytes.size());
    if (written.status == kgf_status::ok)
        record_run_output(run, path);
    return written;
}

kgf_failure deliver_output(output_journal* journal, const char* folder, const std::string& path,
                           std::vector<uint8_t>&& bytes, run_inputs* run,
                           const failure_list& failures_so_far) {
    if (journal == nullptr)
        return write_output_now(folder, path, bytes, run);
    journal_entry entry;
    entry.is_output = true;
    entry.folder = folder;
    entry.path = path;
    entry.bytes = std::move(bytes);
    entry.failures_before = failures_so_far.failures.size();
    journal->entries.push_back(std::move(entry));
    return kgf_failure{kgf_status::ok, path};
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
