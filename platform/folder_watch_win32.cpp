// Folder changes through ReadDirectoryChangesW: one overlapped read per
// folder, all completing on one port.
#include "platform/folder_watch.h"

#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::wstring lower(std::wstring text) {
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The full path in lower case, to compare folders by.
std::wstring full_lower(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return lower((error ? path : absolute).lexically_normal().native());
}

// One folder, watched alone: the system's own watch of the folders below
// is not found everywhere, so each folder below has a watch of its own.
struct watched_folder {
    std::string path; // as the events name it
    fs::path folder;
    bool below = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped = {};
    std::vector<DWORD> buffer = std::vector<DWORD>(16384); // 64 KiB, as the network allows
    bool reading = false;
};

constexpr DWORD change_filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                FILE_NOTIFY_CHANGE_CREATION | FILE_NOTIFY_CHANGE_ATTRIBUTES;

bool start_read(watched_folder& folder) {
    folder.overlapped = OVERLAPPED{};
    folder.reading =
        ReadDirectoryChangesW(folder.handle, folder.buffer.data(),
                              static_cast<DWORD>(folder.buffer.size() * sizeof(DWORD)), FALSE,
                              change_filter, nullptr, &folder.overlapped, nullptr) != 0;
    return folder.reading;
}

// The read is cancelled and waited for before its buffer goes; its
// completion, still queued, names a key no longer known and is passed over.
void close_folder(watched_folder& folder) {
    if (folder.handle == INVALID_HANDLE_VALUE)
        return;
    if (folder.reading) {
        CancelIoEx(folder.handle, &folder.overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(folder.handle, &folder.overlapped, &ignored, TRUE);
    }
    CloseHandle(folder.handle);
    folder.handle = INVALID_HANDLE_VALUE;
    folder.reading = false;
}

bool lies_under(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            (path[folder.size()] == '\\' || path[folder.size()] == '/'));
}

struct watched_root {
    std::string path;
    fs::path folder;
    bool gone = false;
};

} // namespace

struct folder_watch {
    HANDLE port = nullptr;
    std::atomic<int> stopped{0};
    std::map<ULONG_PTR, std::unique_ptr<watched_folder>> folders;
    ULONG_PTR next_key = 1; // 0 is the stop
    std::vector<watched_root> roots;
    std::wstring skip; // in full and in lower case, or empty
};

namespace {

int add_one(folder_watch& watch, const std::string& path, const fs::path& folder, bool below) {
    auto watched = std::make_unique<watched_folder>();
    watched->path = path;
    watched->folder = folder;
    watched->below = below;
    // Deleting and renaming stay allowed: a folder being watched is no
    // folder the user cannot remove.
    watched->handle = CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (watched->handle == INVALID_HANDLE_VALUE)
        return 0;
    const ULONG_PTR key = watch.next_key++;
    if (CreateIoCompletionPort(watched->handle, watch.port, key, 0) == nullptr ||
        !start_read(*watched)) {
        const DWORD error = GetLastError();
        close_folder(*watched);
        SetLastError(error);
        return 0;
    }
    watch.folders[key] = std::move(watched);
    if (!below)
        return 1;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        // Links to folders are not followed, as convert -r does not.
        const fs::file_status own = it->symlink_status(error);
        if (error || !fs::is_directory(own) || full_lower(it->path()) == watch.skip)
            continue;
        add_one(watch, path_text(text_path(path) / it->path().filename()), it->path(), true);
    }
    return 1;
}

void drop_under(folder_watch& watch, const std::string& path) {
    for (auto it = watch.folders.begin(); it != watch.folders.end();) {
        if (lies_under(it->second->path, path)) {
            close_folder(*it->second);
            it = watch.folders.erase(it);
        } else {
            ++it;
        }
    }
}

// The changes of one completed read, in the order the system gave them.
void take_changes(folder_watch& watch, watched_folder& folder, DWORD bytes,
                  std::vector<folder_event>& events) {
    if (bytes == 0) {
        // The buffer overflowed: the changes are lost.
        events.push_back({folder_change::lost, std::string()});
        return;
    }
    // Copied: a folder added below may grow the list the folder lives in.
    const std::vector<DWORD> buffer = folder.buffer;
    const std::string folder_path = folder.path;
    const fs::path folder_name = folder.folder;
    const bool below = folder.below;
    const auto* base = reinterpret_cast<const char*>(buffer.data());
    for (DWORD at = 0;;) {
        const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
        const fs::path name(std::wstring(change->FileName, change->FileNameLength / sizeof(WCHAR)));
        const fs::path full = folder_name / name;
        folder_event event;
        event.path = path_text(text_path(folder_path) / name);
        if (change->Action == FILE_ACTION_REMOVED ||
            change->Action == FILE_ACTION_RENAMED_OLD_NAME) {
            drop_under(watch, event.path);
            event.change = folder_change::removed;
            events.push_back(event);
        } else {
            const DWORD attributes = GetFileAttributesW(full.c_str());
            const bool is_folder = attributes != INVALID_FILE_ATTRIBUTES &&
                                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!is_folder) {
                event.change = folder_change::written;
                events.push_back(event);
            } else if (change->Action != FILE_ACTION_MODIFIED && below &&
                       full_lower(full) != watch.skip &&
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                drop_under(watch, event.path);
                add_one(watch, event.path, full, true);
                event.change = folder_change::folder_added;
                events.push_back(event);
            }
        }
        if (change->NextEntryOffset == 0)
            break;
        at += change->NextEntryOffset;
    }
}

// A folder given that is no longer there is told once, as the system does
// not tell it everywhere.
void check_roots(folder_watch& watch, std::vector<folder_event>& events) {
    for (watched_root& root : watch.roots) {
        if (root.gone)
            continue;
        const DWORD attributes = GetFileAttributesW(root.folder.c_str());
        bool there =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Removed while this watch holds it open, it lingers until closed.
        for (const auto& folder : watch.folders) {
            FILE_STANDARD_INFO standard = {};
            if (folder.second->path == root.path &&
                GetFileInformationByHandleEx(folder.second->handle, FileStandardInfo, &standard,
                                             sizeof standard) &&
                standard.DeletePending)
                there = false;
        }
        if (there)
            continue;
        root.gone = true;
        drop_under(watch, root.path);
        events.push_back({folder_change::removed, root.path});
    }
}

} // namespace

folder_watch* open_folder_watch(std::string& reason) {
    auto* watch = new folder_watch;
    watch->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (watch->port == nullptr) {
        reason = system_error_text(GetLastError());
        delete watch;
        return nullptr;
    }
    return watch;
}

void close_folder_watch(folder_watch* watch) {
    if (watch == nullptr)
        return;
    for (auto& folder : watch->folders)
        close_folder(*folder.second);
    watch->folders.clear();
    CloseHandle(watch->port);
    delete watch;
}

int add_watched_folder(folder_watch* watch, const std::string& folder, bool below,
                       const std::string& skip, std::string& reason) {
    if (!skip.empty())
        watch->skip = full_lower(text_path(skip));
    if (!add_one(*watch, folder, text_path(folder), below)) {
        reason = system_error_text(GetLastError());
        return 0;
    }
    watch->roots.push_back({folder, text_path(folder), false});
    return 1;
}

void wait_folder_changes(folder_watch* watch, int timeout_ms, std::vector<folder_event>& events) {
    const size_t before = events.size();
    const ULONGLONG end =
        GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
    // In slices, so that a folder given that goes is told soon.
    bool taking = false; // a read completed: the others done by now are taken too
    for (;;) {
        if (watch->stopped.load())
            return;
        const ULONGLONG now = GetTickCount64();
        const DWORD wait =
            taking || now >= end ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(end - now, 250));
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        const BOOL got = GetQueuedCompletionStatus(watch->port, &bytes, &key, &overlapped, wait);
        if (watch->stopped.load())
            return;
        if (overlapped != nullptr) {
            const auto found = watch->folders.find(key);
            if (found != watch->folders.end()) {
                watched_folder& folder = *found->second;
                folder.reading = false;
                if (got)
                    take_changes(*watch, folder, bytes, events);
                // The folder may be gone with the changes just taken.
                const auto still = watch->folders.find(key);
                if (still != watch->folders.end() && !start_read(*still->second)) {
                    close_folder(*still->second);
                    watch->folders.erase(still);
                }
            }
            taking = true;
            continue;
        }
        taking = false;
        check_roots(*watch, events);
        if (events.size() > before || GetTickCount64() >= end)
            return;
    }
}

void stop_folder_watch(folder_watch* watch) {
    watch->stopped.store(1);
    PostQueuedCompletionStatus(watch->port, 0, 0, nullptr);
}

int folder_watch_stopped(const folder_watch* watch) {
    return watch->stopped.load();
}

namespace {

folder_watch* interrupted_watch = nullptr;
HANDLE stopping_finished = nullptr;
std::atomic<int> interrupts{0};

BOOL WINAPI on_console_event(DWORD event) {
    // A second Ctrl+C ends the process as usual.
    if (interrupts.fetch_add(1) > 0 && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT))
        return FALSE;
    if (interrupted_watch != nullptr)
        stop_folder_watch(interrupted_watch);
    // The process ends when this returns from a console being closed: the
    // work in hand is finished first, within the time the system gives.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(stopping_finished, 4500);
    return TRUE;
}

} // namespace

void stop_folder_watch_on_interrupt(folder_watch* watch) {
    interrupted_watch = watch;
    if (stopping_finished == nullptr)
        stopping_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void finished_stopping() {
    if (stopping_finished != nullptr)
        SetEvent(stopping_finished);
}
