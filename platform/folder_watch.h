// Changes in folders as the system tells them: inotify on Linux,
// ReadDirectoryChangesW on Windows. Paths are texts as the rest of the
// platform layer takes them (path_text), so names in every language pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class folder_change : uint8_t {
    written,      // a file was made, written, or renamed to this name
    removed,      // a file or folder under this name is gone (deleted or renamed away)
    folder_added, // a folder was made or renamed to this name; its files are not told
    lost,         // the system dropped changes: whatever is watched may have changed
};

struct folder_event {
    folder_change change = folder_change::written;
    std::string path; // the watched folder as given, joined with the name below it
};

struct folder_watch;

// A watch of no folder yet; nullptr when the system refuses one, with the
// system's words for why in reason.
folder_watch* open_folder_watch(std::string& reason);
void close_folder_watch(folder_watch* watch);

// Watches a folder, with every folder below it when below is set (folders
// made or renamed into it later too). skip is a folder that is never
// watched, and nothing under it told: an output folder inside the tree.
// 1 on success; 0, with why in reason, otherwise.
int add_watched_folder(folder_watch* watch, const std::string& folder, bool below,
                       const std::string& skip, std::string& reason);

// Waits until changes come, up to timeout_ms, and adds them to events.
// Returns at once, adding nothing, once the watch is stopped.
void wait_folder_changes(folder_watch* watch, int timeout_ms, std::vector<folder_event>& events);

// Ends the current wait and every later one; from any thread, and on POSIX
// from a signal handler.
void stop_folder_watch(folder_watch* watch);

// 1 once stop_folder_watch was called.
int folder_watch_stopped(const folder_watch* watch);

// Ctrl+C and termination (SIGINT, SIGTERM; on Windows Ctrl+C, Ctrl+Break
// and closing the console) stop the watch instead of ending the process at
// once; a second one ends it. On Windows, closing the console waits for
// finished_stopping (up to the few seconds the system allows).
void stop_folder_watch_on_interrupt(folder_watch* watch);
void finished_stopping();
