// Settings kept in kgf-tool/settings.ini below the user's configuration
// folder, as "name=value" lines in the registry's three groups. Blanks
// around names and values do not count; double quotes keep a text's own
// blanks. Anything that is not one of the values in its group is
// skipped, so a damaged file falls back to the defaults value by value.
#include "settings/settings.h"

#include "platform/files.h"
#include "platform/message.h"
#include "settings/setting_fields.h"
#include "settings/settings_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// Texts longer than the suffix's field are folders.
constexpr size_t suffix_field_bytes = sizeof(settings_record{}.suffix);

// Far larger than any file this program writes; bigger files are not ours.
constexpr off_t max_file_bytes = 64 * 1024;

constexpr std::string_view main_group = "KGF Tool";

// Closes the descriptor it holds when it goes out of scope.
struct file_descriptor {
    int fd = -1;
    explicit file_descriptor(int value) : fd(value) {}
    file_descriptor(const file_descriptor&) = delete;
    file_descriptor& operator=(const file_descriptor&) = delete;
    ~file_descriptor() {
        if (fd >= 0)
            close(fd);
    }
};

std::string settings_folder() {
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/kgf-tool";
    return home_folder() + "/.config/kgf-tool";
}

std::string_view trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string reason_of(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// Whole file as text; empty when it is missing, or, with problem set to
// why, when it is no plain file, too big to be this program's, or cannot
// be read.
std::string read_settings_file(const std::string& path, std::string& problem) {
    problem.clear();
    // Non-blocking: a pipe under the name must not wait for a writer.
    file_descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) {
        if (errno != ENOENT)
            problem = reason_of(errno);
        return {};
    }
    struct stat info {};
    if (fstat(file.fd, &info) != 0) {
        problem = reason_of(errno);
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "not a regular file";
        return {};
    }
    if (info.st_size > max_file_bytes) {
        problem = "larger than " + std::to_string(max_file_bytes) +
                  " bytes, so not a settings file of this program";
        return {};
    }
    std::string text(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = read(file.fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            problem = got < 0 ? reason_of(errno) : "it shrank while it was read";
            return {};
        }
        done += static_cast<size_t>(got);
    }
    return text;
}

// The file a link leads to, through every link on the way; the path itself
// when it is no link. A save writes through links rather than over them.
std::string file_behind_links(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error)))
            return current;
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error)
            return current;
        current = target.is_absolute()
                      ? target.string()
                      : (std::filesystem::path(current).parent_path() / target).string();
    }
    return current;
}

// Blanks around a value are not part of it; double quotes around it keep
// everything between them, blanks included.
std::string_view unquote(std::string_view value) {
    value = trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The file's name for a field's group.
std::string group_text(const setting_field& field) {
    std::string text(main_group);
    if (field.group[0] != '\0')
        text.append("\\").append(field.group);
    return text;
}

// A value that does not fit its field leaves the field as it was.
void take_value(settings_record& record, std::string_view group, std::string_view name,
                std::string_view value) {
    const setting_field* field = find_setting(name);
    if (field == nullptr || group != group_text(*field))
        return;
    value = unquote(value);
    if (field->kind == setting_kind::text) {
        put_setting_text(record, *field, value);
        return;
    }
    uint8_t number = 0;
    if (parse_setting_byte(value, number))
        *(reinterpret_cast<uint8_t*>(&record) + field->offset) = number;
}

bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// A line break would split the value, so such a text is left out and its
// field loads as the default. Quotes go around exactly the texts that would
// not read back the same without them.
void add_value(std::string& out, const settings_record& record, const setting_field& field) {
    const std::string value = setting_value(record, field);
    if (value.find_first_of("\r\n") != std::string::npos)
        return;
    out.append(field.name).append("=");
    if (unquote(value) != value)
        out.append("\"").append(value).append("\"");
    else
        out.append(value);
    out.append("\n");
}

// Removes what interrupted saves left beside the file: the one temporary
// name of earlier versions, and the names of processes that are gone.
void remove_stale_temporaries(const std::string& folder, const std::string& name) {
    for (const std::string& entry : folder_names(folder.c_str())) {
        if (entry == name + ".new") {
            unlink((folder + "/" + entry).c_str());
            continue;
        }
        const std::string lead = name + ".";
        if (entry.size() <= lead.size() + 4 || entry.compare(0, lead.size(), lead) != 0 ||
            entry.compare(entry.size() - 4, 4, ".new") != 0)
            continue;
        const std::string digits = entry.substr(lead.size(), entry.size() - lead.size() - 4);
        if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const unsigned long owner = std::stoul(digits);
        if (owner != current_process_id() && !process_may_be_running(owner))
            unlink((folder + "/" + entry).c_str());
    }
}

// Writes the new file beside the old one, under a name of this process's
// own, and renames it over: the old file stays whole until the new one is
// complete on disk, and saves running at once never take each other's
// file (the last to rename wins, whole). A link is written through.
bool replace_settings_file(const std::string& path, const std::string& text) {
    const std::string target = file_behind_links(path);
    std::string problem;
    read_settings_file(target, problem);
    if (!problem.empty()) {
        set_settings_failure(target + ": " + problem + "; it is not replaced");
        return false;
    }
    const std::filesystem::path where(target);
    const std::string folder = where.parent_path().empty() ? "." : where.parent_path().string();
    const std::string name = where.filename().string();
    remove_stale_temporaries(folder, name);
    const std::string temporary =
        folder + "/" + name + "." + std::to_string(current_process_id()) + ".new";
    unlink(temporary.c_str()); // this process's own, left by a save that failed
    file_descriptor file(
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (file.fd < 0) {
        set_settings_failure(temporary + ": " + reason_of(errno));
        return false;
    }
    bool ok = write_all(file.fd, text) && fsync(file.fd) == 0;
    int error = errno;
    ok = close(file.fd) == 0 && ok;
    file.fd = -1;
    if (ok && rename(temporary.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok) {
        error = errno != 0 ? errno : error;
        set_settings_failure(target + ": " + reason_of(error != 0 ? error : EIO));
        unlink(temporary.c_str());
        return false;
    }
    file_descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd >= 0)
        fsync(directory.fd);
    return true;
}

} // namespace

// Lines are "[group]", "name=value", blank or comments (";" or "#").
// Anything else is skipped.
void parse_settings_text(std::string_view text, settings_record& record) {
    std::string_view group;
    bool in_group = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view bare = trim(line);
        if (bare.empty() || bare[0] == ';' || bare[0] == '#')
            continue;
        if (bare[0] == '[') {
            in_group = bare.size() >= 2 && bare.back() == ']';
            group = in_group ? trim(bare.substr(1, bare.size() - 2)) : std::string_view();
            continue;
        }
        const size_t equals = line.find('=');
        if (!in_group || equals == std::string_view::npos)
            continue;
        take_value(record, group, trim(line.substr(0, equals)), line.substr(equals + 1));
    }
}

// The fields in the record's order; each group's fields follow each other.
// A folder at its default that nobody set is left out, so that it goes on
// following the folder the program runs in rather than being fixed to
// today's; one the file held or the user set is kept.
std::string format_settings_text(const settings_record& record) {
    const settings_record kept = settings;
    set_default_settings();
    const settings_record defaults = settings;
    settings = kept;
    std::string out;
    std::string group;
    for (const auto& field : setting_fields) {
        const bool folder = field.kind == setting_kind::text && field.size > suffix_field_bytes;
        if (folder && !setting_kept(field.name) &&
            setting_value(record, field) == setting_value(defaults, field))
            continue;
        const std::string next = group_text(field);
        if (next != group) {
            out.append(out.empty() ? "[" : "\n[").append(next).append("]\n");
            group = next;
        }
        add_value(out, record, field);
    }
    return out;
}

int load_settings() {
    set_default_settings();
    std::string problem;
    const std::string text = read_settings_file(settings_location(), problem);
    if (!problem.empty())
        show_error((settings_location() + ": " + problem + "; the defaults are used").c_str());
    parse_settings_text(text, settings);
    // The folders the file holds stay in it, even at their defaults: a
    // record whose folders no value can equal tells which those are.
    settings_record marked = settings;
    for (const auto& field : setting_fields)
        if (field.kind == setting_kind::text && field.size > suffix_field_bytes)
            put_setting_text(marked, field, "\n");
    parse_settings_text(text, marked);
    for (const auto& field : setting_fields)
        if (field.kind == setting_kind::text && field.size > suffix_field_bytes &&
            setting_value(marked, field) != "\n")
            keep_setting(field.name);
    check_loaded_settings();
    return 1;
}

bool try_save_settings() {
    set_settings_failure(std::string());
    const std::string folder = settings_folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return replace_settings_file(settings_location(), format_settings_text(settings));
}

int save_settings() {
    try_save_settings();
    return 1;
}

std::string settings_location() {
    return settings_folder() + "/settings.ini";
}
