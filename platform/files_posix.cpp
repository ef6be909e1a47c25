#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// A failure with errno as its reason.
file_outcome failed() {
    return file_outcome{false, errno != 0 ? errno : EIO};
}

constexpr file_outcome succeeded{};

} // namespace

std::string system_error_text(unsigned long error) {
    return std::error_code(static_cast<int>(error), std::generic_category()).message();
}

std::string path_text(const std::filesystem::path& path) {
    return path.string();
}

std::filesystem::path text_path(const std::string& text) {
    return std::filesystem::path(text);
}

file_outcome create_folder(const char* path) {
    return mkdir(path, 0777) == 0 ? succeeded : failed();
}

file_outcome create_folder_with_parents(const char* path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty()) {
        errno = ENOENT;
        return failed();
    }
    // Each part in turn, from the root down; a part that is there is kept.
    for (size_t end = 1; end <= folder.size(); ++end) {
        if (end < folder.size() && folder[end] != '/')
            continue;
        const std::string part = folder.substr(0, end);
        struct stat status;
        if (stat(part.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode)) {
                errno = ENOTDIR;
                return failed();
            }
            continue;
        }
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return failed();
    }
    return succeeded;
}

int path_exists(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 ? 1 : 0;
}

int file_size_and_time(const char* path, int64_t& size, int64_t& time) {
    struct stat status;
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    size = static_cast<int64_t>(status.st_size);
    time = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return 1;
}

file_outcome may_replace_file(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0)
        return succeeded;
    // No write bit at all is read-only even to the superuser.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        errno = EACCES;
        return failed();
    }
    return access(path, W_OK) == 0 || errno == ENOENT ? succeeded : failed();
}

int delete_file(const char* path) {
    return unlink(path) == 0 ? 1 : 0;
}

file_outcome replace_file(const char* from, const char* to) {
    return std::rename(from, to) == 0 ? succeeded : failed();
}

std::string current_folder() {
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr)
        return std::string();
    return std::string(buffer.data());
}

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

input_opening open_input_file(const char* path, input_file& file) {
    file = input_file{};
    struct stat status;
    if (stat(path, &status) != 0)
        return {input_open_result::cannot_open, failed().system_error};
    if (!S_ISREG(status.st_mode))
        return {input_open_result::not_regular};
    // Non-blocking, in case something else took the name since the check.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {input_open_result::cannot_open, failed().system_error};
    if (fstat(fd, &status) != 0) {
        const int reason = failed().system_error;
        close(fd);
        return {input_open_result::failed, reason};
    }
    if (!S_ISREG(status.st_mode)) {
        close(fd);
        return {input_open_result::not_regular};
    }
    file.handle = fd;
    file.size = static_cast<int64_t>(status.st_size);
    return {input_open_result::opened};
}

int64_t read_input_file(input_file& file, void* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            read(static_cast<int>(file.handle), static_cast<char*>(out) + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

int seek_input_file(input_file& file, int64_t offset) {
    return lseek(static_cast<int>(file.handle), static_cast<off_t>(offset), SEEK_SET) == offset ? 1
                                                                                                : 0;
}

void close_input_file(input_file& file) {
    if (file.handle >= 0)
        close(static_cast<int>(file.handle));
    file = input_file{};
}

file_outcome create_new_file(const char* path, new_file& file) {
    file = new_file{};
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return failed();
    flock(fd, LOCK_EX | LOCK_NB);
    file.handle = fd;
    return succeeded;
}

file_outcome write_new_file(new_file& file, const void* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t put = write(static_cast<int>(file.handle),
                                  static_cast<const char*>(bytes) + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put == 0)
            errno = ENOSPC;
        if (put <= 0)
            return failed();
        done += static_cast<size_t>(put);
    }
    return succeeded;
}

file_outcome close_new_file(new_file& file) {
    if (file.handle < 0) {
        errno = EBADF;
        return failed();
    }
    const file_outcome closed = close(static_cast<int>(file.handle)) == 0 ? succeeded : failed();
    file = new_file{};
    return closed;
}

std::vector<std::string> folder_names(const char* folder) {
    std::vector<std::string> names;
    DIR* directory = opendir(folder);
    if (directory == nullptr)
        return names;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(directory);
    return names;
}

unsigned long current_process_id() {
    return static_cast<unsigned long>(getpid());
}

int process_may_be_running(unsigned long id) {
    if (id == 0 || id > static_cast<unsigned long>(INT32_MAX))
        return 0;
    return kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH ? 1 : 0;
}

int remove_abandoned_file(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat status;
    // A writer that still runs holds its lock.
    const bool abandoned =
        fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    const int removed = abandoned && unlink(path) == 0 ? 1 : 0;
    close(fd);
    return removed;
}

void advise_large_block(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the block can be backed by one.
    constexpr uintptr_t large_page = uintptr_t{2} << 20;
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(block) + large_page - 1) & ~(large_page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(large_page - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}
