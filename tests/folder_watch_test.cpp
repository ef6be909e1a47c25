// The platform's folder watch on real folders: what each way of changing a
// file is told as, folders below followed, a skipped folder silent, the
// watch stopped from another thread, a watched folder removed.
#include "platform/files.h"
#include "platform/folder_watch.h"
#include "support/file_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

void write_text_file(const std::string& path, const std::string& text) {
    write_file_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

struct watch_holder {
    folder_watch* watch = nullptr;
    std::vector<folder_event> events;
    watch_holder() {
        std::string reason;
        watch = open_folder_watch(reason);
    }
    ~watch_holder() { close_folder_watch(watch); }

    // Watches the folder, and the folders below it when asked, but the skipped one.
    void add(const std::string& folder, bool below, const std::string& skipped = "") {
        ASSERT_NE(watch, nullptr);
        std::string reason;
        ASSERT_EQ(add_watched_folder(watch, folder, below, skipped, reason), 1) << reason;
    }

    bool told(folder_change change, const std::string& path) const {
        for (const folder_event& event : events)
            if (event.change == change && event.path == path)
                return true;
        return false;
    }
    // Waits, within a generous bound, until the change is told.
    bool wait_for(folder_change change, const std::string& path) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!told(change, path) && std::chrono::steady_clock::now() < end)
            wait_folder_changes(watch, 100, events);
        return told(change, path);
    }
    // Writes the file and waits until it is told as written.
    bool write_and_wait(const std::string& path, const std::string& text) {
        write_text_file(path, text);
        return wait_for(folder_change::written, path);
    }
    // Everything told within a short while, for what must not be told.
    void drain() {
        for (int i = 0; i < 5; ++i)
            wait_folder_changes(watch, 100, events);
    }
    bool any_under(const std::string& folder) const {
        for (const folder_event& event : events)
            if (event.path.compare(0, folder.size(), folder) == 0)
                return true;
        return false;
    }
};

std::string join(const std::string& folder, const std::string& name) {
    return path_text(text_path(folder) / text_path(name));
}

void rename_path(const std::string& from, const std::string& to) {
    fs::rename(text_path(from), text_path(to));
}

} // namespace

TEST(FolderWatch, EachWayOfSavingIsToldUnderTheFilesName) {
    scratch_folder folder;
    watch_holder holder;
    ASSERT_NO_FATAL_FAILURE(holder.add(folder.path, false));
    // Names in every language come back as the platform spells them.
    for (const std::string name : {"wall.tga", "Текстура.tga", "壁.tga"}) {
        const std::string path = folder.file(name);
        EXPECT_TRUE(holder.write_and_wait(path, "first")) << name;
        holder.events.clear();
        // A temporary file renamed over the original.
        write_text_file(folder.file("save.tmp"), "second");
        rename_path(folder.file("save.tmp"), path);
        EXPECT_TRUE(holder.wait_for(folder_change::written, path)) << name;
        holder.events.clear();
        delete_file(path.c_str());
        EXPECT_TRUE(holder.wait_for(folder_change::removed, path)) << name;
        holder.events.clear();
    }
}

TEST(FolderWatch, FoldersBelowAreFollowedAndTheSkippedOneIsSilent) {
    scratch_folder folder;
    watch_holder holder;
    const std::string skipped = folder.file("out");
    const std::string old_below = folder.file("old");
    fs::create_directories(text_path(join(old_below, "deep")));
    ASSERT_NO_FATAL_FAILURE(holder.add(folder.path, true, skipped));

    EXPECT_TRUE(holder.write_and_wait(join(old_below, "s.tga"), "s"));
    // A folder already there, two levels down.
    EXPECT_TRUE(holder.write_and_wait(join(join(old_below, "deep"), "a.tga"), "a"));

    // A folder made after the watch began, and a file in it.
    const std::string made = folder.file("new");
    create_folder(made.c_str());
    EXPECT_TRUE(holder.wait_for(folder_change::folder_added, made));
    EXPECT_TRUE(holder.write_and_wait(join(made, "b.tga"), "b"));
    const std::string made_deep = join(made, "deeper");
    create_folder(made_deep.c_str());
    EXPECT_TRUE(holder.wait_for(folder_change::folder_added, made_deep));
    EXPECT_TRUE(holder.write_and_wait(join(made_deep, "d.tga"), "d"));

    // A folder renamed: its files are told under the new name.
    const std::string renamed = folder.file("renamed");
    rename_path(old_below, renamed);
    EXPECT_TRUE(holder.wait_for(folder_change::removed, old_below));
    EXPECT_TRUE(holder.wait_for(folder_change::folder_added, renamed));
    EXPECT_TRUE(holder.write_and_wait(join(join(renamed, "deep"), "a.tga"), "again"));

    // The output folder inside the tree: made and written, never told.
    holder.events.clear();
    create_folder(skipped.c_str());
    write_text_file(join(skipped, "c.kgf"), "c");
    holder.drain();
    EXPECT_FALSE(holder.any_under(skipped));
}

TEST(FolderWatch, WithoutFoldersBelowOnlyTheFolderItselfIsTold) {
    scratch_folder folder;
    const std::string below = folder.file("below");
    create_folder(below.c_str());
    watch_holder holder;
    ASSERT_NO_FATAL_FAILURE(holder.add(folder.path, false));
    write_text_file(join(below, "x.tga"), "x");
    EXPECT_TRUE(holder.write_and_wait(folder.file("marker.tga"), "m"));
    holder.drain();
    EXPECT_FALSE(holder.told(folder_change::written, join(below, "x.tga")));
}

TEST(FolderWatch, StoppingFromAnotherThreadEndsTheWaitAndEveryLaterOne) {
    scratch_folder folder;
    watch_holder holder;
    ASSERT_NO_FATAL_FAILURE(holder.add(folder.path, true));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop_folder_watch(holder.watch);
    });
    // A wait far longer than any test: only the stop can end it.
    wait_folder_changes(holder.watch, 24 * 3600 * 1000, holder.events);
    stopper.join();
    EXPECT_EQ(folder_watch_stopped(holder.watch), 1);
    write_text_file(folder.file("late.tga"), "late");
    wait_folder_changes(holder.watch, 24 * 3600 * 1000, holder.events);
    EXPECT_TRUE(holder.events.empty());
}

TEST(FolderWatch, AWatchedFolderRenamedAwayOrRemovedIsToldByItsName) {
    scratch_folder folder;
    for (const bool removed : {false, true}) {
#ifdef _WIN32
        // Removed by this process while it watches it, the folder lingers
        // until the watch lets go, as the system keeps every folder open.
        if (removed)
            continue;
#endif
        const std::string watched = folder.file("source");
        create_folder(watched.c_str());
        write_text_file(join(watched, "a.tga"), "a");
        watch_holder holder;
        ASSERT_NO_FATAL_FAILURE(holder.add(watched, true));
        std::error_code error;
        if (removed)
            fs::remove_all(text_path(watched), error);
        else
            fs::rename(text_path(watched), text_path(folder.file("elsewhere")), error);
        ASSERT_FALSE(error) << error.message();
        EXPECT_TRUE(holder.wait_for(folder_change::removed, watched)) << removed;
    }
}

TEST(FolderWatch, AFolderThatIsNotThereIsRefusedWithTheReason) {
    scratch_folder folder;
    watch_holder holder;
    ASSERT_NE(holder.watch, nullptr);
    std::string reason;
    EXPECT_EQ(add_watched_folder(holder.watch, folder.file("missing"), true, "", reason), 0);
    EXPECT_FALSE(reason.empty());
}
