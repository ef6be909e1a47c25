// Every call that touches files returns its failure whole: the status, what
// it concerns, and the system's reason when the system refused, so that
// the message names the file and says why without asking anything after.
#include "convert/output_names.h"
#include "formats/byte_reader.h"
#include "formats/output_file.h"
#include "platform/files.h"
#include "support/file_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct failure_case {
    const char* what;
    std::function<kgf_failure(const scratch_folder&)> call;
    kgf_status status;
    std::function<std::string(const scratch_folder&)> subject;
    bool system_refused; // a reason of the system's comes with it
};

std::string in(const scratch_folder& folder, const std::string& name) {
    return folder.file(name);
}

kgf_failure open_file(const std::string& path) {
    input_file file;
    kgf_failure opened = open_reader_file(path.c_str(), file);
    close_input_file(file);
    return opened;
}

const std::vector<uint8_t> some_bytes = {1, 2, 3};

} // namespace

TEST(FailureRecord, EachCallReturnsItsFailureWithSubjectAndReason) {
    const failure_case cases[] = {
        {"open a file", [](auto& f) { return open_file(in(f, "plain")); }, kgf_status::ok,
         [](auto& f) { return in(f, "plain"); }, false},
        {"open a missing file", [](auto& f) { return open_file(in(f, "gone.kgf")); },
         kgf_status::cannot_open, [](auto& f) { return in(f, "gone.kgf"); }, true},
        {"open a folder", [](auto& f) { return open_file(f.path); }, kgf_status::not_a_file,
         [](auto& f) { return f.path; }, false},
        // Writing into a missing folder: OutputFile.WritesInPlaceAndLeavesNothingElse.
        {"write below a file",
         [](auto& f) {
             return write_output_file(in(f, "plain/w.kgf").c_str(), some_bytes.data(),
                                      some_bytes.size());
         },
         kgf_status::cannot_create, [](auto& f) { return in(f, "plain/w.kgf"); }, true},
        {"prepare a folder that is a file",
         [](auto& f) { return prepare_output_folder(in(f, "plain").c_str()); },
         kgf_status::cannot_make_folder, [](auto& f) { return in(f, "plain"); }, true},
        {"prepare a folder below a file",
         [](auto& f) { return prepare_output_folder(in(f, "plain/sub").c_str()); },
         kgf_status::cannot_make_folder, [](auto& f) { return in(f, "plain/sub"); }, true},
        {"prepare a new folder",
         [](auto& f) { return prepare_output_folder(in(f, "a/b").c_str()); }, kgf_status::ok,
         [](auto& f) { return in(f, "a/b"); }, false},
        {"write now below a file",
         [](auto& f) {
             return write_output_now(in(f, "plain/sub").c_str(), in(f, "plain/sub/w.kgf"),
                                     some_bytes);
         },
         kgf_status::folder_not_made,
         [](auto& f) { return in(f, "plain/sub") + " for " + in(f, "plain/sub/w.kgf"); }, true},
        {"write now",
         [](auto& f) { return write_output_now(f.path.c_str(), in(f, "w.kgf"), some_bytes); },
         kgf_status::ok, [](auto& f) { return in(f, "w.kgf"); }, false},
        {"hold in a journal",
         [](auto& f) {
             output_journal journal;
             return deliver_output(&journal, f.path.c_str(), in(f, "held.kgf"),
                                   std::vector<uint8_t>(some_bytes), nullptr, {});
         },
         kgf_status::ok, [](auto& f) { return in(f, "held.kgf"); }, false},
        {"join a path past 255 bytes",
         [](auto& f) {
             std::string path;
             return join_output_path(f.folder_text().c_str(), std::string(300, 'n'), path);
         },
         kgf_status::path_too_long, [](auto& f) { return f.folder_text() + std::string(300, 'n'); },
         false},
    };
    for (const failure_case& c : cases) {
        scratch_folder folder;
        write_file_bytes(folder.file("plain"), some_bytes);
        const kgf_failure failure = c.call(folder);
        EXPECT_EQ(failure.status, c.status) << c.what;
        EXPECT_EQ(failure.subject, c.subject(folder)) << c.what;
        EXPECT_EQ(failure.system_error != 0, c.system_refused) << c.what;
        // The message is the status's text about the subject, and the
        // system's words after it when the system refused.
        const std::string plain = status_message(c.status, c.subject(folder).c_str());
        EXPECT_EQ(failure_message(failure),
                  c.system_refused ? plain + ": " + system_error_text(failure.system_error) : plain)
            << c.what;
    }
}

// The held output is not written until its turn; the one written now is in
// place, and a refused one leaves nothing.
TEST(FailureRecord, OnlyTheWrittenOutputIsThere) {
    scratch_folder folder;
    output_journal journal;
    EXPECT_EQ(deliver_output(&journal, folder.path.c_str(), folder.file("held.kgf"),
                             std::vector<uint8_t>(some_bytes), nullptr, {})
                  .status,
              kgf_status::ok);
    EXPECT_EQ(write_output_now(folder.path.c_str(), folder.file("w.kgf"), some_bytes).status,
              kgf_status::ok);
    EXPECT_NE(write_output_now(folder.file("w.kgf").c_str(), folder.file("w.kgf/x.kgf"), some_bytes)
                  .status,
              kgf_status::ok);
    EXPECT_EQ(list_folder(folder.path), std::vector<std::string>{"w.kgf"});
    ASSERT_EQ(journal.entries.size(), 1u);
    EXPECT_EQ(journal.entries[0].path, folder.file("held.kgf"));
}

// Skipping past the end, or backwards, is missing data, from memory and
// from a file alike; a skip that fits moves on by exactly its count.
TEST(FailureRecord, SkipsSayWhyTheyFellShort) {
    scratch_folder folder;
    write_file_bytes(folder.file("four"), {1, 2, 3, 4});
    const struct {
        int64_t count;
        kgf_status status;
        int64_t position;
    } cases[] = {{0, kgf_status::ok, 1},
                 {3, kgf_status::ok, 4},
                 {4, kgf_status::missing_data, 4},
                 {-1, kgf_status::missing_data, 1}};
    const std::vector<uint8_t> four = {1, 2, 3, 4};
    for (const auto& c : cases) {
        byte_reader in_memory = memory_reader(four.data(), four.size());
        input_file file;
        ASSERT_EQ(open_reader_file(folder.file("four").c_str(), file).status, kgf_status::ok);
        byte_reader from_file = file_reader(file);
        for (byte_reader* reader : {&in_memory, &from_file}) {
            uint8_t first = 0;
            ASSERT_EQ(read_bytes(*reader, &first, 1), 1u);
            EXPECT_EQ(skip_bytes(*reader, c.count), c.status) << c.count;
            EXPECT_EQ(reader->position, c.position) << c.count;
        }
        close_input_file(file);
    }
}
