#include "platform/files.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int create_folder(const char* path) {
    return mkdir(path, 0777) == 0 ? 1 : 0;
}

int path_exists(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 ? 1 : 0;
}

int delete_file(const char* path) {
    return unlink(path) == 0 ? 1 : 0;
}

int replace_file(const char* from, const char* to) {
    return std::rename(from, to) == 0 ? 1 : 0;
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
