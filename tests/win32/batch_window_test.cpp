// Whole batches in process: run_batch shows the real file dialog with the
// panel on a thread of its own while the test works the dialog's windows.
#include "platform/message.h"
#include "resources/panel_ids.h"
#include "routines/batch.h"
#include "routines/image_info.h"
#include "settings/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"
#include "ui/batch_window.h"
#include "ui/panel.h"
#include "ui/ui.h"
#include "win32/window_driving.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace window_driving;

namespace {

const std::string sorry_text = "Sorry, but you cannot create KAFs (animations) with this version.";

void write_tga(const std::string& path) {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
    for (int i = 0; i < 4 * 4 * 3; ++i)
        bytes.push_back(static_cast<uint8_t>(i * 5));
    write_file_bytes(path, bytes);
}

// run_batch on its own thread; a dialog left open by a failed test is
// closed with "E&xit" so the thread always ends.
struct batch_thread {
    std::atomic<int> result{-1};
    std::atomic<bool> finished{false};
    std::thread worker;

    batch_thread() {
        // Message handlers are per thread: the batch's messages go to the
        // handler this test installed.
        const message_handler handler = current_message_handler();
        worker = std::thread([this, handler] {
            set_message_handler(handler);
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            result = run_batch();
            if (SUCCEEDED(com))
                CoUninitialize();
            finished = true;
        });
    }
    ~batch_thread() {
        wait_until(
            [this] {
                if (finished)
                    return true;
                if (HWND dialog = find_file_dialog(GetCurrentProcessId()))
                    press(dialog, IDCANCEL);
                return false;
            },
            step_timeout_ms);
        worker.join();
    }
    bool wait() {
        return wait_until([this] { return finished.load(); }, step_timeout_ms);
    }
};

class batch_window : public ::testing::Test {
  protected:
    void SetUp() override {
        app_instance = module();
        reset_routines_state();
        init_format_descriptions();
        cancel_requested = false;
        info_window = nullptr;
        input = folder.file("input");
        output = folder.file("out");
        CreateDirectoryA(input.c_str(), nullptr);
    }
    HWND file_dialog() {
        return wait_for_file_dialog(GetCurrentProcessId(), nullptr, step_timeout_ms);
    }
    // Fills the file dialog with the choices, presses OK and waits for the
    // batch's end, whose result is kept.
    void convert(const user_choices& choices) {
        batch_thread batch;
        HWND dialog = file_dialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, choices));
        press(dialog, IDOK);
        ASSERT_TRUE(batch.wait());
        result = batch.result;
    }
    int result = -1;
    message_recorder messages;
    scratch_folder folder;
    std::string input;
    std::string output;
};

TEST_F(batch_window, exit_returns_0_and_keeps_the_typed_folder) {
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    HWND field = find_descendant(dialog, IDC_PANEL_OUTPUT_FOLDER, "Edit");
    ASSERT_NE(field, nullptr);
    set_window_text(field, "D:\\typed");
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 0);
    EXPECT_STREQ(settings.output_dir, "D:\\typed\\");
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(batch_window, kaf_output_shows_one_message_and_converts_nothing) {
    for (const char* name : {"a.tga", "b.tga", "c.tga"})
        write_tga(input + "\\" + name);
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, "\"a.tga\" \"b.tga\" \"c.tga\"", 0, output}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{sorry_text});
    EXPECT_EQ(messages.messages().at(0).caption, "Sorry");
    EXPECT_FALSE(file_exists(output));
    EXPECT_EQ(settings.input_type, 2);
    EXPECT_EQ(settings.output_type, 0);
}

TEST_F(batch_window, all_files_with_an_unknown_first_ending_is_unsupported) {
    write_tga(input + "\\x.bmp");
    write_tga(input + "\\a.tga");
    ASSERT_NO_FATAL_FAILURE(convert({input, 3, "\"x.bmp\" \"a.tga\"", 1, output}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Unsupported conversion"});
    EXPECT_FALSE(file_exists(output));
    EXPECT_STREQ(input_type_text, "");
}

// Selects one entry, and only that one, of the dialog's file list as a click would; the list
// belongs to this process, so its item texts can be read directly.
bool select_file(HWND dialog, const std::string& name) {
    HWND list = nullptr;
    wait_until(
        [&] {
            list = find_descendant(dialog, lst2, "SysListView32");
            if (list == nullptr)
                list = find_descendant(dialog, 1, "SysListView32");
            return list != nullptr;
        },
        step_timeout_ms);
    if (list == nullptr)
        return false;
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        if (_stricmp(text, name.c_str()) != 0)
            continue;
        LVITEMA state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        return true;
    }
    return false;
}

TEST_F(batch_window, highlighting_a_file_in_the_dialog_previews_it) {
    write_tga(input + "\\a.tga");
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, "", 2, output}));
    ASSERT_TRUE(wait_until([&] { return select_file(dialog, "a.tga"); }, step_timeout_ms));
    EXPECT_TRUE(wait_until([] { return panel_state.preview_loaded; }, step_timeout_ms));
    EXPECT_STREQ(panel_state.highlighted_name, "a.tga");
    EXPECT_STREQ(image_info.type_name, "TGA");
    EXPECT_STREQ(image_info.resolution, "4x4");
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 0);
    EXPECT_TRUE(messages.texts().empty());
}

// Answers the name-length question with Yes after clicking the progress
// window's Cancel, as a user would while that file converts.
// Keeps the messages and the progress window's caption.
std::vector<std::string> cancel_test_messages;
std::string progress_caption;
int click_cancel_and_answer_yes(const char* text, const char* caption, unsigned style) {
    cancel_test_messages.push_back(std::string(caption) + ": " + text);
    for (HWND window : process_dialogs(GetCurrentProcessId()))
        if (GetDlgItem(window, IDC_PROGRESS_BAR) != nullptr) {
            progress_caption = window_text(window);
            PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        }
    return answer_yes;
}

TEST_F(batch_window, cancel_stops_before_the_next_file_and_is_cleared) {
    const std::string long_name(36, 'b');
    for (const std::string name : {"a", long_name.c_str(), "c", "d", "e"})
        write_tga(input + "\\" + name + ".tga");
    cancel_test_messages.clear();
    progress_caption.clear();
    set_message_handler(click_cancel_and_answer_yes);
    const std::string names = "\"a.tga\" \"" + long_name + ".tga\" \"c.tga\" \"d.tga\" \"e.tga\"";
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, names, 1, output}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(list_folder(output), (std::vector<std::string>{"a.kgf", long_name + ".kgf"}));
    EXPECT_FALSE(cancel_requested);
    // The question, then one status at the end.
    ASSERT_EQ(cancel_test_messages.size(), 2u);
    EXPECT_EQ(cancel_test_messages[1],
              "Status: 2 of 5 files converted.\nCancelled: 3 files not converted.");
    EXPECT_EQ(progress_caption, "KGF Tool");
}

TEST_F(batch_window, a_selection_longer_than_its_buffer_converts_nothing) {
    // 220 names of 198 characters: more than the 40000 bytes of the buffer.
    std::string names;
    for (int i = 0; i < 220; ++i) {
        const std::string name = std::to_string(1000 + i) + std::string(190, 'x') + ".tga";
        write_tga(input + "\\" + name);
        names += "\"" + name + "\" ";
    }
    ASSERT_GT(names.size(), selection_buffer_bytes);
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, names, 2, output}));
    EXPECT_EQ(result, 1) << "the dialog comes back";
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"You are trying to convert too many files at one time."});
    EXPECT_EQ(messages.messages().at(0).caption, "Error");
    EXPECT_FALSE(file_exists(output));
}

// ---------------------------------------------------------------------------
// The batch tells what happened to every file.

TEST_F(batch_window, nested_output_folders_are_made_and_the_typed_spaces_dropped) {
    write_tga(input + "\\wall.tga");
    const std::string deep = output + "\\new\\deep\\er";
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, "wall.tga", 1, "  " + deep + " "}));
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(messages.texts().empty()) << "a clean batch ends silently";
    EXPECT_EQ(list_folder(deep), std::vector<std::string>{"wall.kgf"});
    EXPECT_EQ(list_folder(output + "\\new\\deep"), std::vector<std::string>{"er"});
    EXPECT_EQ(std::string(settings.output_dir), deep + "\\");
}

TEST_F(batch_window, a_typed_name_that_is_not_there_is_named_and_counted) {
    write_tga(input + "\\here.tga");
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, "nosuch.tga", 1, output}));
    EXPECT_EQ(result, 1);
    ASSERT_EQ(messages.texts().size(), 2u);
    EXPECT_EQ(without_reasons(messages.texts())[0], "Cannot open nosuch.tga");
    EXPECT_NE(messages.texts()[0], "Cannot open nosuch.tga") << "the reason follows";
    EXPECT_EQ(messages.messages()[1].caption, "Status");
    EXPECT_EQ(messages.texts()[1], "0 of 1 file converted.\n1 failed: nosuch.tga");
    EXPECT_TRUE(list_folder(output).empty());
}

TEST_F(batch_window, an_unreadable_file_is_named_and_the_next_one_converted) {
    write_file_bytes(input + "\\cut.tga", {0, 0, 2, 0});
    write_tga(input + "\\good.tga");
    ASSERT_NO_FATAL_FAILURE(convert({input, 2, "\"cut.tga\" \"good.tga\"", 1, output}));
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"cut.tga\nFile is missing some data; do not use",
                                        "1 of 2 files converted.\n1 failed: cut.tga"}));
    EXPECT_EQ(list_folder(output), std::vector<std::string>{"good.kgf"});
}

TEST_F(batch_window, an_output_folder_no_file_can_go_to_is_said_once) {
    // The output folder lies below a file; each file has five levels to write.
    write_file_bytes(input + "\\blocker", {1});
    const std::string blocked = input + "\\blocker\\out";
    std::string names;
    for (char letter = 'a'; letter < 'a' + 12; ++letter) {
        const std::string name = std::string(1, letter) + ".kgf";
        write_kgf_file(input + "\\" + name, name, pattern_image(16, 16, 16, 3), 5);
        names += "\"" + name + "\" ";
    }
    settings.mipmaps = 1;
    ASSERT_NO_FATAL_FAILURE(convert({input, 1, names, 2, blocked}));
    EXPECT_EQ(result, 1);
    ASSERT_EQ(messages.texts().size(), 1u) << "one message, and no status after it";
    const std::string lead = "Cannot create the output folder " + blocked + "\\: ";
    EXPECT_EQ(messages.texts()[0].substr(0, lead.size()), lead);
    EXPECT_GT(messages.texts()[0].size(), lead.size()) << "with the reason";
    EXPECT_EQ(messages.messages()[0].caption, "Error");
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// A careless or hostile user.

HWND panel_item(HWND dialog, int id) {
    return find_descendant(dialog, id, "Button");
}

TEST_F(batch_window, a_path_too_long_for_the_dialog_is_refused_and_the_program_goes_on) {
    // With the folder, the full path passes 260 characters.
    const std::string name = std::string(242, 'l') + ".tga";
    write_tga(input + "\\" + name);
    ASSERT_TRUE(file_exists(input + "\\" + name));
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, name, 1, output}));
    press(dialog, IDOK);
    ASSERT_TRUE(wait_until([&] { return !messages.texts().empty(); }, step_timeout_ms));
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Path is too long: " + input + "\\" + name});
    // Still running: the dialog stays, and takes the next selection.
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(batch.finished);
    write_tga(input + "\\short.tga");
    SetWindowTextA(GetDlgItem(dialog, edt1), "short.tga");
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1);
    EXPECT_EQ(list_folder(output), std::vector<std::string>{"short.kgf"});
}

TEST_F(batch_window, an_empty_or_too_long_output_folder_is_refused) {
    const std::string name = "kgf_empty_folder_test.tga";
    write_tga(input + "\\" + name);
    const std::string root = input.substr(0, 3); // the drive of the input
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, name, 1, ""}));
    press(dialog, IDOK);
    ASSERT_TRUE(wait_until([&] { return !messages.texts().empty(); }, step_timeout_ms));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{empty_output_folder});
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays for a folder";
    // A folder too long to keep is refused too: cut, it would be another.
    messages.clear();
    const std::string overlong = root + std::string(260, 'f');
    HWND folder_field = find_descendant(dialog, 1003, "Edit");
    ASSERT_NE(folder_field, nullptr);
    set_window_text(folder_field, overlong);
    press(dialog, IDOK);
    ASSERT_TRUE(wait_until([&] { return !messages.texts().empty(); }, step_timeout_ms));
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"The output folder is too long: " + root +
                                       std::string(11, 'f') + "..." + std::string(15, 'f') +
                                       "\nEnter a shorter folder."});
    EXPECT_TRUE(IsWindow(dialog));
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 0);
    EXPECT_FALSE(file_exists(root + "kgf_empty_folder_test.kgf"));
    EXPECT_STRNE(settings.output_dir, "\\") << "an empty field is not stored";
}

TEST_F(batch_window, each_highlight_reads_once_and_the_information_is_its_own) {
    write_tga(input + "\\good.tga");
    write_file_bytes(input + "\\cut.tga", {0, 0, 2, 0});
    // A KGF with three faults: filler, format field and a negative width.
    write_file_bytes(input + "\\damaged.kgf",
                     {0, 0, 'z', 'd', '.', 'k',  'g',  'f', 0, 1,    1,    1, 1, 0,
                      0, 0, 0,   0,   0,   0xFF, 0xFF, 2,   0, 0x11, 0x11, 0, 0, 0});
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 3, "", 2, output}));
    HWND info_button = panel_item(dialog, IDC_PANEL_IMAGE_INFO);
    ASSERT_NE(info_button, nullptr);
    PostMessageA(info_button, BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_until([] { return info_window != nullptr; }, step_timeout_ms));
    auto info = [](int id) {
        char text[64] = {};
        GetDlgItemTextA(info_window, id, text, sizeof text);
        return std::string(text);
    };

    ASSERT_TRUE(wait_until([&] { return select_file(dialog, "good.tga"); }, step_timeout_ms));
    ASSERT_TRUE(wait_until([] { return panel_state.preview_loaded; }, step_timeout_ms));
    EXPECT_EQ(info(1031), "TGA");
    EXPECT_EQ(info(1032), "4x4");

    // An unreadable file: one message, and the window says so.
    ASSERT_TRUE(select_file(dialog, "cut.tga"));
    ASSERT_TRUE(wait_until([] { return std::string(panel_state.highlighted_name) == "cut.tga"; },
                           step_timeout_ms));
    ASSERT_TRUE(wait_until([&] { return info(1031) == "Unreadable"; }, step_timeout_ms));
    for (int id : {1032, 1033, 1034, 1035})
        EXPECT_EQ(info(id), "") << id;
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"cut.tga\nFile is missing some data; do not use"});

    // A damaged KGF: each of its three messages once.
    messages.clear();
    ASSERT_TRUE(select_file(dialog, "damaged.kgf"));
    ASSERT_TRUE(
        wait_until([] { return std::string(panel_state.highlighted_name) == "damaged.kgf"; },
                   step_timeout_ms));
    Sleep(500); // a repeated notification would come now
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"damaged.kgf: Bad filler!", "damaged.kgf: Bad field value!",
                                        "damaged.kgf: Bad image size!"}));
    EXPECT_EQ(info(1031), "Unreadable");
    EXPECT_STREQ(image_info.type_name, "");
    EXPECT_EQ(image_info.frames, 0);

    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
}

TEST_F(batch_window, a_filter_change_blanks_the_open_information_window) {
    write_tga(input + "\\good.tga");
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 3, "", 2, output}));
    PostMessageA(panel_item(dialog, IDC_PANEL_IMAGE_INFO), BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_until([] { return info_window != nullptr; }, step_timeout_ms));
    auto info = [](int id) { return window_text(GetDlgItem(info_window, id)); };
    ASSERT_TRUE(wait_until([&] { return select_file(dialog, "good.tga"); }, step_timeout_ms));
    ASSERT_TRUE(wait_until([&] { return info(1032) == "4x4"; }, step_timeout_ms));
    // Another type: nothing is highlighted, and nothing of good.tga stays.
    HWND filter_list = GetDlgItem(dialog, cmb1);
    send(filter_list, CB_SETCURSEL, 1, 0);
    send(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(filter_list));
    ASSERT_TRUE(wait_until([&] { return info(1031).empty(); }, step_timeout_ms));
    EXPECT_EQ(info(1032), "");
    EXPECT_EQ(info(1033), "0");
    EXPECT_EQ(info(1035), "0");
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
}

// The keyboard focus of the thread that runs the file dialog.
HWND dialog_focus(HWND dialog) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread))
        return nullptr;
    return thread.hwndFocus;
}

// The message box the program shows, once it shows; null after the timeout.
HWND wait_for_box(const std::string& caption) {
    HWND box = nullptr;
    wait_until([&] { return (box = find_dialog(GetCurrentProcessId(), caption)) != nullptr; },
               step_timeout_ms);
    return box;
}

TEST_F(batch_window, after_a_preview_error_box_the_focus_is_back_in_the_file_list) {
    write_file_bytes(input + "\\cut.tga", {0, 0, 2, 0});
    set_message_handler(nullptr); // real message boxes
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, "", 2, output}));
    PostMessageA(panel_item(dialog, IDC_PANEL_IMAGE_INFO), BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_until([] { return info_window != nullptr; }, step_timeout_ms));
    HWND list = nullptr;
    ASSERT_TRUE(
        wait_until([&] { return (list = find_descendant(dialog, 1, "SysListView32")) != nullptr; },
                   step_timeout_ms));
    send(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    ASSERT_TRUE(wait_until([&] { return dialog_focus(dialog) == list; }, step_timeout_ms));
    // The information window lies next below the box, as where it is owned
    // above the dialog: the closing box hands the focus to it.
    SetWindowPos(info_window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The read shows its box inside the selection's notification: selected
    // from a thread of its own, so that this one can answer the box.
    std::thread selecting([&] { select_file(dialog, "cut.tga"); });
    HWND box = wait_for_box("Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(window_text(GetDlgItem(box, 0xFFFF)),
              "cut.tga\nFile is missing some data; do not use");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    selecting.join();
    EXPECT_TRUE(wait_until([&] { return dialog_focus(dialog) == list; }, step_timeout_ms))
        << "the focus is in " << class_name(dialog_focus(dialog));
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
}

TEST_F(batch_window, the_too_long_folder_box_shortens_the_folder_in_the_middle) {
    const std::string root = input.substr(0, 3);
    const std::string overlong = root + std::string(260, 'f');
    set_message_handler(nullptr); // the real box
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    write_tga(input + "\\a.tga");
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, "a.tga", 1, overlong}));
    press(dialog, IDOK);
    HWND box = wait_for_box("Error");
    ASSERT_NE(box, nullptr);
    HWND text = GetDlgItem(box, 0xFFFF);
    // The drive and a start, the dots, then the end: 32 characters.
    EXPECT_EQ(window_text(text), "The output folder is too long: " + root + std::string(11, 'f') +
                                     "..." + std::string(15, 'f') + "\nEnter a shorter folder.");
    // At most one line more than written, where the box wraps before the
    // folder: the folder itself is never broken over lines.
    RECT area;
    GetClientRect(text, &area);
    HDC dc = GetDC(text);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(send(text, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, font);
    ReleaseDC(text, dc);
    EXPECT_LE(area.bottom, 3 * metrics.tmHeight);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(wait_until([&] { return find_dialog(GetCurrentProcessId(), "Error") == nullptr; },
                           step_timeout_ms));
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays";
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
}

// What the Help buttons started.
std::vector<std::string> help_folders;
HINSTANCE WINAPI record_help(HWND, LPCSTR, LPCSTR file, LPCSTR parameters, LPCSTR folder, INT) {
    help_folders.push_back(std::string(file) + " " + parameters + " in " + folder);
    return reinterpret_cast<HINSTANCE>(33);
}

TEST_F(batch_window, help_takes_install_dir_only_without_a_guide_beside_the_program) {
    // The test program has no readme.txt beside it.
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string program_folder = program;
    program_folder.resize(program_folder.find_last_of('\\'));
    ASSERT_FALSE(file_exists(program_folder + "\\readme.txt"));
    const std::string elsewhere = folder.file("elsewhere");
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    const std::string guided = folder.file("guided");
    CreateDirectoryA(guided.c_str(), nullptr);
    write_file_bytes(guided + "\\readme.txt", {'h', 'i'});

    help_folders.clear();
    shell_execute = record_help;
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    HWND help = panel_item(dialog, IDC_PANEL_HELP);
    ASSERT_NE(help, nullptr);
    for (const std::string& install : {elsewhere, guided}) {
        std::snprintf(settings.install_dir, sizeof settings.install_dir, "%s", install.c_str());
        const size_t before = help_folders.size() + messages.texts().size();
        PostMessageA(help, BM_CLICK, 0, 0);
        ASSERT_TRUE(
            wait_until([&] { return help_folders.size() + messages.texts().size() > before; },
                       step_timeout_ms));
    }
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
    shell_execute = ShellExecuteA;
    // No guide anywhere: said, naming both folders; the editor is not started
    // on a file that is not there.
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"readme.txt was not found in " +
                                                         program_folder + "\nnor in " + elsewhere});
    EXPECT_EQ(help_folders, std::vector<std::string>{"notepad.exe readme.txt in " + guided});
    EXPECT_EQ(std::string(settings.install_dir), guided) << "the stored value is not changed";
}

TEST(help_text, the_guide_beside_the_program_comes_first) {
    scratch_folder beside, installed, empty;
    write_file_bytes(beside.file("readme.txt"), {'a'});
    write_file_bytes(installed.file("readme.txt"), {'b'});
    CreateDirectoryA(empty.file("readme.txt").c_str(), nullptr); // a folder is no guide
    EXPECT_EQ(help_text_folder(beside.path, installed.path), beside.path);
    EXPECT_EQ(help_text_folder(empty.path, installed.path), installed.path);
    EXPECT_EQ(help_text_folder(beside.path, ""), beside.path);
    EXPECT_EQ(help_text_folder(empty.path, empty.path), "");
    EXPECT_EQ(help_text_missing(empty.path, empty.path),
              "readme.txt was not found in " + empty.path);
}

TEST_F(batch_window, alt_m_reaches_image_info_past_the_dialog_own_letters) {
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(wait_until(
        [&] {
            return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread) &&
                   thread.hwndFocus != nullptr;
        },
        step_timeout_ms));
    PostMessageA(thread.hwndFocus, WM_SYSCHAR, 'm', 0x20000001);
    EXPECT_TRUE(wait_until([] { return info_window != nullptr; }, step_timeout_ms));
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
}

} // namespace
