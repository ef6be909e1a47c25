#include "formats/output_file.h"
#include "platform/files.h"
#include "support/file_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

void mark_read_only(const std::string& path, bool read_only) {
#ifdef _WIN32
    SetFileAttributesA(path.c_str(), read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
    chmod(path.c_str(), read_only ? 0444 : 0644);
#endif
}

} // namespace

TEST(OutputFile, TemporaryNamesAreRecognisablyOurs) {
    const struct {
        const char* name;
        int ours;
        unsigned long id;
    } cases[] = {
        {".~kgf123-4.tmp", 1, 123},
        {".~kgf1-99999.tmp", 1, 1},
        {".~kgf-4.tmp", 0, 0},
        {".~kgf12a-1.tmp", 0, 0},
        {".~kgf12-.tmp", 0, 0},
        {"wall.kgf~", 0, 0},
        {"~kgf12-1.tmp", 0, 0},
        {".~kgf12-1.tmp~", 0, 0},
        {".~kgf12345678901-1.tmp", 0, 0},
        {".~kgf4294967295-1.tmp", 1, 4294967295u},
        {".~kgf4294967296-1.tmp", 0, 0},
    };
    for (const auto& c : cases) {
        unsigned long id = 0;
        EXPECT_EQ(is_temporary_name(c.name, id), c.ours) << c.name;
        if (c.ours) {
            EXPECT_EQ(id, c.id) << c.name;
        }
    }
}

TEST(OutputFile, WritesInPlaceAndLeavesNothingElse) {
    scratch_folder folder;
    write_file_bytes(folder.file("w.kgf"), {'o', 'l', 'd'});
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(write_output_file(folder.file("w.kgf").c_str(), bytes, 3).status, kgf_status::ok);
    EXPECT_EQ(read_file_bytes(folder.file("w.kgf")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(list_folder(folder.path), std::vector<std::string>{"w.kgf"});
    // The refusal names the path and keeps the system's reason with it.
    const kgf_failure refused = write_output_file(folder.file("no/w.kgf").c_str(), bytes, 3);
    EXPECT_EQ(refused.status, kgf_status::cannot_create);
    EXPECT_EQ(refused.subject, folder.file("no/w.kgf"));
    EXPECT_NE(refused.system_error, 0);
    EXPECT_EQ(failure_message(refused), "Cannot create " + folder.file("no/w.kgf") + ": " +
                                            system_error_text(refused.system_error));
}

// A file marked read-only keeps its bytes: an output is refused, never
// renamed over it.
TEST(OutputFile, ReadOnlyOutputIsNotReplaced) {
    scratch_folder folder;
    const std::string path = folder.file("w.kgf");
    write_file_bytes(path, {'o', 'l', 'd'});
    mark_read_only(path, true);
    const uint8_t bytes[] = {1, 2, 3};
    const kgf_failure refused = write_output_file(path.c_str(), bytes, 3);
    EXPECT_EQ(refused.status, kgf_status::cannot_create);
    EXPECT_NE(refused.system_error, 0);
    mark_read_only(path, false);
    EXPECT_EQ(read_file_bytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(list_folder(folder.path), std::vector<std::string>{"w.kgf"});
}

#ifndef _WIN32
// Only the leftovers of writers that are gone are removed: not a file of a
// process that runs, not this process's own, not a user's file.
TEST(OutputFile, StaleTemporariesOfGoneWritersAreRemoved) {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string gone = std::to_string(child);
    const std::string self = std::to_string(current_process_id());
    const std::string running = std::to_string(getppid());

    scratch_folder folder;
    for (const std::string& name :
         {".~kgf" + gone + "-1.tmp", ".~kgf" + gone + "-2.tmp", ".~kgf" + self + "-1.tmp",
          ".~kgf" + running + "-1.tmp", std::string("wall.kgf~"), std::string(".~kgf.tmp")})
        write_file_bytes(folder.file(name), {1});
    EXPECT_EQ(remove_stale_temporaries(folder.path.c_str()), 2);
    std::vector<std::string> kept = {".~kgf" + running + "-1.tmp", ".~kgf" + self + "-1.tmp",
                                     ".~kgf.tmp", "wall.kgf~"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(list_folder(folder.path), kept);
}
#endif
