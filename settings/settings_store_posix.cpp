// Settings kept in kgf-tool/settings.ini below the user's configuration
// folder. The file is read strictly: anything that is not exactly one of the
// nine values in its group is skipped, so a damaged file falls back to the
// defaults value by value.
#include "settings/settings.h"

#include "platform/files.h"

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

// Far larger than any file this program writes; bigger files are not ours.
constexpr off_t max_file_bytes = 64 * 1024;

constexpr std::string_view main_group = "KGF Tool";
constexpr std::string_view tga_group = "KGF Tool\\tga";
constexpr std::string_view kgf_group = "KGF Tool\\kgf";

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

// Whole file as text, or empty when it is missing, not a plain file, too big
// or unreadable.
std::string read_settings_file(const std::string& path) {
    file_descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0)
        return {};
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > max_file_bytes)
        return {};
    std::string text(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = read(file.fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return {};
        done += static_cast<size_t>(got);
    }
    return text;
}

// A text value fits when it and its terminator fit the field and it holds
// no terminator of its own.
void take_text(std::string_view value, char* field, size_t size) {
    if (value.size() + 1 > size || value.find('\0') != std::string_view::npos)
        return;
    std::memset(field, 0, size);
    std::memcpy(field, value.data(), value.size());
}

// Decimal digits only, 0 to 255.
void take_byte(std::string_view value, uint8_t& field) {
    value = trim(value);
    if (value.empty() || value.size() > 3)
        return;
    unsigned number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 255)
        return;
    field = static_cast<uint8_t>(number);
}

void take_value(std::string_view group, std::string_view name, std::string_view value) {
    if (group == main_group) {
        if (name == "install_dir")
            take_text(value, settings.install_dir, sizeof settings.install_dir);
        else if (name == "input_dir")
            take_text(value, settings.input_dir, sizeof settings.input_dir);
        else if (name == "output_dir")
            take_text(value, settings.output_dir, sizeof settings.output_dir);
        else if (name == "input_type")
            take_byte(value, settings.input_type);
        else if (name == "output_type")
            take_byte(value, settings.output_type);
    } else if (group == tga_group) {
        if (name == "bpp")
            take_byte(value, settings.bpp);
        else if (name == "mipmaps")
            take_byte(value, settings.mipmaps);
        else if (name == "suffix")
            take_text(value, settings.suffix, sizeof settings.suffix);
    } else if (group == kgf_group) {
        if (name == "num_mipmaps")
            take_byte(value, settings.num_mipmaps);
    }
}

// Lines are "[group]", "name=value", blank or comments (";" or "#").
// Text values are taken verbatim after the "=", so folder names keep their
// spaces; anything else is skipped.
void parse_settings(std::string_view text) {
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
            group = in_group ? bare.substr(1, bare.size() - 2) : std::string_view();
            continue;
        }
        const size_t equals = line.find('=');
        if (!in_group || equals == std::string_view::npos)
            continue;
        take_value(group, trim(line.substr(0, equals)), line.substr(equals + 1));
    }
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
// field loads as the default.
void add_text(std::string& out, const char* name, const char* field, size_t size) {
    const std::string_view value(field, strnlen(field, size - 1));
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return;
    out.append(name).append("=").append(value).append("\n");
}

void add_byte(std::string& out, const char* name, uint8_t value) {
    out.append(name).append("=").append(std::to_string(value)).append("\n");
}

std::string format_settings() {
    std::string out;
    out.append("[").append(main_group).append("]\n");
    add_text(out, "install_dir", settings.install_dir, sizeof settings.install_dir);
    add_text(out, "input_dir", settings.input_dir, sizeof settings.input_dir);
    add_text(out, "output_dir", settings.output_dir, sizeof settings.output_dir);
    add_byte(out, "input_type", settings.input_type);
    add_byte(out, "output_type", settings.output_type);
    out.append("\n[").append(tga_group).append("]\n");
    add_byte(out, "bpp", settings.bpp);
    add_byte(out, "mipmaps", settings.mipmaps);
    add_text(out, "suffix", settings.suffix, sizeof settings.suffix);
    out.append("\n[").append(kgf_group).append("]\n");
    add_byte(out, "num_mipmaps", settings.num_mipmaps);
    return out;
}

// Writes the new file beside the old one and renames it over, so the old
// file stays whole until the new one is complete on disk.
bool replace_settings_file(const std::string& folder, const std::string& text) {
    const std::string path = folder + "/settings.ini";
    const std::string temporary = path + ".new";
    // A file left by an interrupted save is stale.
    unlink(temporary.c_str());
    file_descriptor file(
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (file.fd < 0)
        return false;
    bool ok = write_all(file.fd, text) && fsync(file.fd) == 0;
    ok = close(file.fd) == 0 && ok;
    file.fd = -1;
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    file_descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd >= 0)
        fsync(directory.fd);
    return true;
}

} // namespace

int load_settings() {
    set_default_settings();
    parse_settings(read_settings_file(settings_folder() + "/settings.ini"));
    return 1;
}

int save_settings() {
    const std::string folder = settings_folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    replace_settings_file(folder, format_settings());
    return 1;
}
