#include "convert/convert.h"
#include "platform/files.h"
#include "platform/message.h"
#include "routines/batch.h"
#include "routines/conversion.h"
#include "settings/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

enum { kaf = 0, kgf = 1, tga = 2 };

// A selection buffer as the file dialog fills it, with its name offset.
struct selection {
    std::vector<char> buffer = std::vector<char>(selection_buffer_bytes, '\0');
    size_t offset = 0;
    int count = 0;
};

selection one_file(const std::string& folder, const std::string& name) {
    selection result;
    const std::string path = folder + path_separator + name;
    std::memcpy(result.buffer.data(), path.c_str(), path.size());
    result.offset = path.size() - name.size();
    result.count = 1;
    return result;
}

selection several_files(const std::string& folder, const std::vector<std::string>& names) {
    selection result;
    size_t at = 0;
    std::memcpy(result.buffer.data(), folder.c_str(), folder.size());
    at = folder.size() + 1;
    result.offset = at;
    for (const std::string& name : names) {
        std::memcpy(result.buffer.data() + at, name.c_str(), name.size());
        at += name.size() + 1;
    }
    result.count = static_cast<int>(names.size());
    return result;
}

struct progress_log {
    std::vector<std::string> names;
    std::vector<int> done;
    int cancel_after = -1;
};

void record_progress(void* context, int done, int count, const char* name, int ok) {
    auto* log = static_cast<progress_log*>(context);
    log->names.push_back(name);
    log->done.push_back(done);
    if (done == log->cancel_after)
        cancel_requested = true;
}

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_routines_state();
        init_format_descriptions();
        cancel_requested = false;
        std::snprintf(folder, sizeof folder, "%s", output.folder_text().c_str());
    }
    void TearDown() override { cancel_requested = false; }

    // The output type chosen in the dialog and, when a filter entry is
    // given, the input type it decides with no name typed.
    void choose(int output_type, int filter = -1) {
        std::snprintf(output_type_text, sizeof output_type_text, "%s",
                      format_descriptions[output_type]);
        if (filter >= 0)
            decide_input_type(filter, "");
    }

    // Converts every name of the selection as the chosen action, into the
    // output folder; the log, when given, records the progress.
    batch_outcome convert(selection& chosen, progress_log* log = nullptr) {
        return convert_selection(choose_action(), chosen.buffer.data(), chosen.buffer.size(),
                                 chosen.offset, chosen.count, folder,
                                 log != nullptr ? record_progress : nullptr, log);
    }

    scratch_folder input;
    scratch_folder output;
    current_folder_change in_input{input.path};
    message_recorder messages;
    char folder[256] = {};
};

} // namespace

TEST_F(BatchTest, CountsNamesAsTheDialogLaysThemOut) {
    selection single = one_file(input.path, "wall.tga");
    EXPECT_EQ(count_selection_names(single.buffer.data(), single.buffer.size(), single.offset), 1);
    selection three = several_files(input.path, {"a.tga", "b.tga", "c.tga"});
    EXPECT_EQ(count_selection_names(three.buffer.data(), three.buffer.size(), three.offset), 3);
    // A buffer filled to its last byte is never read past its end.
    std::vector<char> full(16, 'x');
    full[3] = '\0';
    EXPECT_EQ(count_selection_names(full.data(), full.size(), 0), 2);
    EXPECT_EQ(count_selection_names(full.data(), full.size(), 16), 0);
    // A list cut at the buffer's end lacks its closing terminators.
    EXPECT_TRUE(selection_fits(single.buffer.data(), single.buffer.size(), single.offset));
    EXPECT_TRUE(selection_fits(three.buffer.data(), three.buffer.size(), three.offset));
    EXPECT_FALSE(selection_fits(full.data(), full.size(), 0));
}

// The process-wide forms: the decision itself is tested on the core's.
TEST_F(BatchTest, DecisionsReadAndWriteTheProcessWideTexts) {
    std::snprintf(input_type_text, sizeof input_type_text, "%s", "an earlier batch's type");
    decide_input_type(4, "a.KGF");
    EXPECT_STREQ(input_type_text, format_descriptions[kgf]);
    decide_input_type(0, "a.tga");
    EXPECT_STREQ(input_type_text, "");
    choose(tga);
    decide_input_type(2, "");
    EXPECT_EQ(choose_action(), batch_action::kgf_to_tga);
    format_descriptions[kgf][0] = '\0';
    EXPECT_EQ(choose_action(), batch_action::unsupported);
}

TEST_F(BatchTest, MessageRows) {
    show_action_message(batch_action::sorry);
    show_action_message(batch_action::unsupported);
    show_action_message(batch_action::tga_to_kgf);
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(messages.messages()[0].text,
              "Sorry, but you cannot create KAFs (animations) with this version.");
    EXPECT_EQ(messages.messages()[0].caption, "Sorry");
    EXPECT_EQ(messages.messages()[0].style, message_ok);
    EXPECT_EQ(messages.messages()[1].text, "Unsupported conversion");
    EXPECT_EQ(messages.messages()[1].caption, "Error");
    EXPECT_EQ(messages.messages()[1].style, message_ok | message_icon_error);
}

TEST_F(BatchTest, ConvertsEveryNameInOrder) {
    for (const char* name : {"c.tga", "a.tga", "b.tga"})
        write_tga_file(input.file(name), pattern_image(4, 2, 24, 1));
    selection three = several_files(input.path, {"c.tga", "a.tga", "b.tga"});
    choose(kgf);
    decide_input_type(3, three.buffer.data() + three.offset);
    progress_log log;
    EXPECT_EQ(convert(three, &log).failed, 0);
    EXPECT_EQ(log.names, (std::vector<std::string>{"c.kgf", "a.kgf", "b.kgf"}));
    EXPECT_EQ(log.done, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"a.kgf", "b.kgf", "c.kgf"}));
}

TEST_F(BatchTest, OneFileSelectedByItsFullPath) {
    write_tga_file(input.file("wall.tga"), pattern_image(4, 2, 24, 2));
    selection single = one_file(input.path, "wall.tga");
    choose(kgf);
    decide_input_type(4, single.buffer.data() + single.offset);
    progress_log log;
    EXPECT_EQ(convert(single, &log).failed, 0);
    EXPECT_EQ(log.names, std::vector<std::string>{"wall.kgf"});
    EXPECT_TRUE(file_exists(output.file("wall.kgf")));
}

TEST_F(BatchTest, AllFilesTakesTheFirstNamesType) {
    write_tga_file(input.file("a.TGA"), pattern_image(4, 2, 24, 3));
    write_file_bytes(input.file("b.kgf"), {1, 2, 3});
    selection two = several_files(input.path, {"a.TGA", "b.kgf"});
    choose(kgf);
    decide_input_type(4, two.buffer.data() + two.offset);
    EXPECT_EQ(choose_action(), batch_action::tga_to_kgf);
    progress_log log;
    // The KGF is handed to the TGA reader too, which refuses it.
    EXPECT_EQ(convert(two, &log).failed, 1);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"b.kgf\nFile is missing some data; do not use"});
    EXPECT_EQ(list_folder(output.path), std::vector<std::string>{"a.kgf"});
}

TEST_F(BatchTest, CancelStopsBeforeTheNextFile) {
    std::vector<std::string> names;
    for (int i = 1; i <= 5; ++i) {
        names.push_back(std::string("f") + std::to_string(i) + ".tga");
        write_tga_file(input.file(names.back()), pattern_image(2, 2, 24, 4));
    }
    selection five = several_files(input.path, names);
    choose(tga, 3);
    progress_log log;
    log.cancel_after = 2;
    convert(five, &log);
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"f1.tga", "f2.tga"}));

    // The next batch, with the flag cleared, converts all of its files.
    cancel_requested = false;
    progress_log next;
    convert(five, &next);
    EXPECT_EQ(next.done.size(), 5u);
}

TEST_F(BatchTest, KafToKgfWritesTheStoredFrameNames) {
    std::vector<std::vector<uint8_t>> frames = {
        kaf_frame("fire_a.kgf", pattern_image(4, 4, 16, 5), 4),
        kaf_frame("fire_b.kgf", pattern_image(4, 4, 16, 6), 4)};
    write_file_bytes(input.file("fire.kaf"), kaf_file(frames));
    selection single = one_file(input.path, "fire.kaf");
    choose(kgf, 1);
    progress_log log;
    EXPECT_EQ(convert(single, &log).failed, 0);
    EXPECT_EQ(list_folder(output.path), (std::vector<std::string>{"fire_a.kgf", "fire_b.kgf"}));
    EXPECT_EQ(log.names, std::vector<std::string>{"fire.kaf"});
}

TEST_F(BatchTest, UnterminatedNameIsNeverHandedOn) {
    std::vector<char> buffer(8, 'x');
    progress_log log;
    choose(kgf, 3);
    EXPECT_EQ(convert_selection(choose_action(), buffer.data(), buffer.size(), 0, 1, folder,
                                record_progress, &log)
                  .failed,
              0);
    EXPECT_TRUE(log.names.empty());
}

TEST_F(BatchTest, EachFileShowsOneMessageButEveryQuestion) {
    // Folders in the way of a's first two levels: a fails on its own, and
    // b, whose outputs are free, still converts.
    for (const char* level : {"a_MM1.tga", "a_MM2.tga"})
        ASSERT_TRUE(create_folder(output.file(level).c_str()));
    const message_handler recorder = current_message_handler();
    settings.mipmaps = 1; // one TGA per level
    for (const char* name : {"a.kgf", "b.kgf"})
        write_kgf_file(input.file(name), name, pattern_image(16, 16, 16, 7), 5);
    selection two = several_files(input.path, {"a.kgf", "b.kgf"});
    choose(tga, 2);
    const batch_outcome outcome = convert(two);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(outcome.converted, 1);
    EXPECT_EQ(outcome.failed_names, std::vector<std::string>{"a.kgf"});
    EXPECT_EQ(without_reasons(messages.texts()),
              std::vector<std::string>{"Cannot write " + std::string(folder) + "a_MM1.tga"});
    EXPECT_TRUE(file_exists(output.file("b_MM5.tga")));

    // The name-length question is no failure: the failure after it shows too.
    messages.clear();
    messages.answer(answer_yes);
    const std::string long_name = std::string(36, 'n') + ".tga";
    ASSERT_TRUE(create_folder(output.file(std::string(36, 'n') + ".kgf").c_str()));
    write_tga_file(input.file(long_name), pattern_image(4, 4, 24, 8));
    selection one = one_file(input.path, long_name);
    choose(kgf, 3);
    convert(one);
    ASSERT_EQ(messages.messages().size(), 2u);
    EXPECT_EQ(messages.messages()[0].style, message_yes_no);
    EXPECT_EQ(without_reasons(messages.texts())[1],
              "Cannot write " + std::string(folder) + std::string(36, 'n') + ".kgf");
    EXPECT_EQ(current_message_handler(), recorder);
}

TEST_F(BatchTest, TheOutputFolderIsMadeWithItsParents) {
    write_tga_file(input.file("wall.tga"), pattern_image(4, 2, 24, 2));
    const std::string deep = output.file("new") + path_separator + "deep" + path_separator + "er";
    std::snprintf(folder, sizeof folder, "%s%c", deep.c_str(), path_separator);
    selection single = one_file(input.path, "wall.tga");
    choose(kgf, 3);
    const batch_outcome outcome = convert(single);
    EXPECT_EQ(outcome.converted, 1);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(list_folder(deep), std::vector<std::string>{"wall.kgf"});
}

TEST_F(BatchTest, AFolderNoFileCanGoToIsSaidOnceAndEndsTheBatch) {
    // The output folder lies below a file.
    write_file_bytes(input.file("blocker"), {1});
    const std::string blocked = input.file("blocker") + path_separator + "out" + path_separator;
    std::snprintf(folder, sizeof folder, "%s", blocked.c_str());
    std::vector<std::string> names;
    for (char letter = 'a'; letter < 'a' + 20; ++letter) {
        names.push_back(std::string(1, letter) + ".tga");
        write_tga_file(input.file(names.back()), pattern_image(2, 2, 24, 4));
    }
    selection many = several_files(input.path, names);
    choose(kgf, 3);
    progress_log log;
    const batch_outcome outcome = convert(many, &log);
    EXPECT_TRUE(outcome.folder_failed);
    EXPECT_EQ(outcome.converted + outcome.failed, 0);
    EXPECT_TRUE(log.names.empty());
    ASSERT_EQ(messages.texts().size(), 1u);
    // The folder and the system's reason.
    const std::string said = messages.texts()[0];
    EXPECT_EQ(said.rfind("Cannot create the output folder " + blocked + ": ", 0), 0u) << said;
    EXPECT_GT(said.size(), ("Cannot create the output folder " + blocked + ": ").size());
    EXPECT_EQ(batch_status_text(outcome), "");
}

TEST_F(BatchTest, ANameThatIsNotThereFailsByName) {
    write_tga_file(input.file("here.tga"), pattern_image(2, 2, 24, 4));
    selection two = several_files(input.path, {"nosuch.tga", "here.tga"});
    choose(kgf, 3);
    const batch_outcome outcome = convert(two);
    EXPECT_EQ(outcome.failed_names, std::vector<std::string>{"nosuch.tga"});
    EXPECT_EQ(outcome.converted, 1);
    EXPECT_EQ(without_reasons(messages.texts()),
              std::vector<std::string>{"Cannot open nosuch.tga"});
    EXPECT_NE(messages.texts()[0], "Cannot open nosuch.tga") << "with the reason";
}

TEST(BatchStatus, SaysWhatWasConvertedFailedAndLeft) {
    auto outcome = [](int count, int converted, std::vector<std::string> names, int failed,
                      bool cancelled, bool folder_failed) {
        batch_outcome result;
        result.count = count;
        result.converted = converted;
        result.failed = failed;
        result.failed_names = std::move(names);
        result.cancelled = cancelled;
        result.folder_failed = folder_failed;
        return batch_status_text(result);
    };
    EXPECT_EQ(outcome(3, 3, {}, 0, false, false), "") << "a clean batch is silent";
    EXPECT_EQ(outcome(1, 0, {"nosuch.tga"}, 1, false, false),
              "0 of 1 file converted.\n1 failed: nosuch.tga");
    EXPECT_EQ(outcome(5, 2, {}, 0, true, false),
              "2 of 5 files converted.\nCancelled: 3 files not converted.");
    EXPECT_EQ(outcome(9, 1, {"a", "b", "c", "d", "e"}, 7, true, false),
              "1 of 9 files converted.\n7 failed: a, b, c, d, e and 2 more\n"
              "Cancelled: 1 file not converted.");
    EXPECT_EQ(outcome(4, 1, {"b"}, 1, false, true),
              "1 of 4 files converted.\n1 failed: b\n"
              "The output folder failed: 2 files not converted.");
    EXPECT_EQ(outcome(4, 0, {}, 0, false, true), "") << "the folder's own message said it";

    batch_outcome notes;
    notes.count = notes.converted = 7;
    notes.levels_left_out = {"a.kgf: levels 4 to 5", "b.kgf: level 5", "c", "d", "e", "f", "g"};
    EXPECT_EQ(batch_status_text(notes),
              "7 of 7 files converted.\n"
              "a.kgf: levels 4 to 5: no pixels at this size; left out of the TGA output\n"
              "Also b.kgf: level 5, c, d, e and 2 more");
}

// Levels of no pixels are told once, at the batch's end, not in a box per
// file; every file still converts.
TEST_F(BatchTest, LevelsLeftOutAreToldAtTheEnd) {
    settings.mipmaps = 1;
    for (const char* name : {"a.kgf", "b.kgf", "c.kgf"})
        write_kgf_file(input.file(name), name, pattern_image(12, 6, 16, 3), 5);
    selection three = several_files(input.path, {"a.kgf", "b.kgf", "c.kgf"});
    choose(tga, 2);
    const batch_outcome outcome = convert(three);
    EXPECT_EQ(outcome.converted, 3);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(outcome.levels_left_out,
              (std::vector<std::string>{"a.kgf: levels 4 to 5", "b.kgf: levels 4 to 5",
                                        "c.kgf: levels 4 to 5"}));
    EXPECT_TRUE(file_exists(output.file("c_MM3.tga")));
    EXPECT_FALSE(file_exists(output.file("c_MM4.tga")));

    // Outside a batch the routine shows it at once.
    char name[] = "a.kgf";
    EXPECT_EQ(convert_kgf_to_tga(folder, name), 1);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{
                  "a.kgf: levels 4 to 5: no pixels at this size; left out of the TGA output"});
}

TEST_F(BatchTest, AnOutputNeverReplacesAnotherSelectedFile) {
    // The output folder is the selection's own.
    std::snprintf(folder, sizeof folder, "%s", input.folder_text().c_str());
    write_kgf_file(input.file("a.kgf"), "a.kgf", pattern_image(8, 8, 16, 9), 1);
    write_tga_file(input.file("a.tga"), pattern_image(4, 2, 24, 9));
    const std::vector<uint8_t> kept = read_file_bytes(input.file("a.tga"));
    selection two = several_files(input.path, {"a.kgf", "a.tga"});
    choose(tga, 2);
    EXPECT_EQ(convert(two).failed,
              1); // a.tga, taken as a KGF, keeps its name's own ending: a.tga.tga
    EXPECT_EQ(messages.texts()[0],
              "Cannot replace " + input.folder_text() + "a.tga: it is an input of this run");
    EXPECT_EQ(read_file_bytes(input.file("a.tga")), kept);
}

TEST_F(BatchTest, FramesThatWouldShareAnOutputFailByName) {
    const std::string long_name = std::string(36, 'L') + "1.kgf";
    std::vector<std::vector<uint8_t>> frames = {
        kaf_frame("twice.kgf", pattern_image(4, 4, 16, 1), 4),
        kaf_frame("twice.kgf", pattern_image(4, 4, 16, 2), 4),
        kaf_frame(long_name, pattern_image(4, 4, 16, 3), 4)};
    write_file_bytes(input.file("fire.kaf"), kaf_file(frames));
    selection single = one_file(input.path, "fire.kaf");
    choose(kgf, 1);
    messages.clear();
    EXPECT_EQ(convert(single).failed, 1);
    // The dialog shows the first refusal of the file.
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{std::string(folder) +
                                       "twice.kgf: an earlier frame has the same output name; "
                                       "not written"});
    EXPECT_EQ(list_folder(output.path), std::vector<std::string>{"twice.kgf"});
}

TEST_F(BatchTest, AFrameAnEarlierAnimationWroteIsKept) {
    write_file_bytes(input.file("walk.kaf"),
                     kaf_file({kaf_frame("step.kgf", pattern_image(4, 4, 16, 1), 4),
                               kaf_frame("walk2.kgf", pattern_image(4, 4, 16, 2), 4)}));
    write_file_bytes(input.file("run.kaf"),
                     kaf_file({kaf_frame("step.kgf", pattern_image(4, 4, 16, 3), 4),
                               kaf_frame("run2.kgf", pattern_image(4, 4, 16, 4), 4)}));
    choose(kgf, 1);
    selection walk = one_file(input.path, "walk.kaf");
    ASSERT_EQ(convert(walk).failed, 0);
    const std::vector<uint8_t> walk_step = read_file_bytes(output.file("step.kgf"));
    messages.clear();
    selection two = several_files(input.path, {"walk.kaf", "run.kaf"});
    EXPECT_EQ(convert(two).failed, 1);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Cannot replace " + std::string(folder) +
                                       "step.kgf: an earlier file of this run wrote it"});
    EXPECT_EQ(read_file_bytes(output.file("step.kgf")), walk_step);
    EXPECT_EQ(list_folder(output.path),
              (std::vector<std::string>{"run2.kgf", "step.kgf", "walk2.kgf"}));
}
