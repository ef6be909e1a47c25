// Folder changes through inotify: one watch per folder, folders below added
// as they appear and dropped as they go.
#include "platform/folder_watch.h"

#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

struct folder_watch {
    int inotify = -1;
    int wake[2] = {-1, -1}; // written once to end every wait
    std::atomic<int> stopped{0};
    struct watched {
        std::string path;
        bool below = false;
        std::string skip; // the path of the folder never watched, or empty
    };
    std::map<int, watched> folders;
};

namespace {

constexpr uint32_t file_events = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE |
                                 IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                 IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

std::string system_reason(int error) {
    // The system says "No space left on device" when its count of watches
    // is used up.
    if (error == ENOSPC || error == EMFILE)
        return "the system's limit of watched folders is reached (fs.inotify.max_user_watches "
               "and max_user_instances)";
    return system_error_text(static_cast<unsigned long>(error));
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool lies_under(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// The skipped folder as a path that starts with the watched one, so that a
// folder met below can be compared as text.
std::string skip_below(const std::string& folder, const std::string& skip) {
    if (skip.empty())
        return std::string();
    std::error_code error;
    const fs::path root = fs::weakly_canonical(fs::absolute(text_path(folder), error), error);
    const fs::path other = fs::weakly_canonical(fs::absolute(text_path(skip), error), error);
    const fs::path relative = other.lexically_relative(root);
    if (relative.empty() || *relative.begin() == ".." || relative == ".")
        return std::string();
    return joined(folder, path_text(relative));
}

int add_one(folder_watch& watch, const std::string& folder, bool below, const std::string& skip) {
    const int id = inotify_add_watch(watch.inotify, folder.c_str(), file_events);
    if (id < 0)
        return 0;
    watch.folders[id] = folder_watch::watched{folder, below, skip};
    if (!below)
        return 1;
    for (const std::string& name : folder_names(folder.c_str())) {
        const std::string path = joined(folder, name);
        struct stat status;
        // Links to folders are not followed, as convert -r does not.
        if (lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || path == skip)
            continue;
        add_one(watch, path, below, skip);
    }
    return 1;
}

// Stops watching the folder and every folder below it: it was renamed
// away, and its events would come under its old name.
void drop_under(folder_watch& watch, const std::string& folder) {
    for (auto it = watch.folders.begin(); it != watch.folders.end();) {
        if (lies_under(it->second.path, folder)) {
            inotify_rm_watch(watch.inotify, it->first);
            it = watch.folders.erase(it);
        } else {
            ++it;
        }
    }
}

void take_event(folder_watch& watch, const inotify_event& event,
                std::vector<folder_event>& events) {
    if (event.mask & IN_Q_OVERFLOW) {
        events.push_back({folder_change::lost, std::string()});
        return;
    }
    const auto found = watch.folders.find(event.wd);
    if (found == watch.folders.end())
        return;
    if (event.mask & IN_IGNORED) {
        watch.folders.erase(found);
        return;
    }
    const folder_watch::watched where = found->second;
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        drop_under(watch, where.path);
        events.push_back({folder_change::removed, where.path});
        return;
    }
    if (event.len == 0)
        return;
    const std::string path = joined(where.path, event.name);
    if (event.mask & IN_ISDIR) {
        if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
            drop_under(watch, path);
            events.push_back({folder_change::removed, path});
        } else if ((event.mask & (IN_CREATE | IN_MOVED_TO)) && where.below && path != where.skip) {
            add_one(watch, path, true, where.skip);
            events.push_back({folder_change::folder_added, path});
        }
        return;
    }
    if (event.mask & (IN_DELETE | IN_MOVED_FROM))
        events.push_back({folder_change::removed, path});
    else
        events.push_back({folder_change::written, path});
}

} // namespace

folder_watch* open_folder_watch(std::string& reason) {
    auto* watch = new folder_watch;
    watch->inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->inotify < 0 || pipe2(watch->wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        reason = system_reason(errno);
        close_folder_watch(watch);
        return nullptr;
    }
    return watch;
}

void close_folder_watch(folder_watch* watch) {
    if (watch == nullptr)
        return;
    for (int fd : {watch->inotify, watch->wake[0], watch->wake[1]})
        if (fd >= 0)
            close(fd);
    delete watch;
}

int add_watched_folder(folder_watch* watch, const std::string& folder, bool below,
                       const std::string& skip, std::string& reason) {
    if (add_one(*watch, folder, below, skip_below(folder, skip)))
        return 1;
    reason = system_reason(errno);
    return 0;
}

void wait_folder_changes(folder_watch* watch, int timeout_ms, std::vector<folder_event>& events) {
    if (watch->stopped.load())
        return;
    pollfd waits[2] = {{watch->inotify, POLLIN, 0}, {watch->wake[0], POLLIN, 0}};
    if (poll(waits, 2, timeout_ms < 0 ? 0 : timeout_ms) <= 0 || watch->stopped.load())
        return;
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t got = read(watch->inotify, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            take_event(*watch, *event, events);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void stop_folder_watch(folder_watch* watch) {
    watch->stopped.store(1);
    const char byte = 1;
    // Nothing more to do when the pipe is full: a wait is woken already.
    [[maybe_unused]] const ssize_t written = write(watch->wake[1], &byte, 1);
}

int folder_watch_stopped(const folder_watch* watch) {
    return watch->stopped.load();
}

namespace {

folder_watch* interrupted_watch = nullptr;

void on_interrupt(int) {
    if (interrupted_watch != nullptr)
        stop_folder_watch(interrupted_watch);
}

} // namespace

void stop_folder_watch_on_interrupt(folder_watch* watch) {
    interrupted_watch = watch;
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    // The first stops the watch; a second ends the process as usual.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void finished_stopping() {}
