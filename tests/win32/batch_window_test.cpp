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
                if (HWND dialog = find_dialog(GetCurrentProcessId(), "KGF Tool"))
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
        app_instance = GetModuleHandleA(nullptr);
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
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(
        fill_file_dialog(dialog, {input, 2, "\"a.tga\" \"b.tga\" \"c.tga\"", 0, output}));
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{sorry_text});
    EXPECT_EQ(messages.messages().at(0).caption, "Sorry");
    EXPECT_FALSE(file_exists(output));
    EXPECT_EQ(settings.input_type, 2);
    EXPECT_EQ(settings.output_type, 0);
}

TEST_F(batch_window, all_files_with_an_unknown_first_ending_is_unsupported) {
    write_tga(input + "\\x.bmp");
    write_tga(input + "\\a.tga");
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 3, "\"x.bmp\" \"a.tga\"", 1, output}));
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1);
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
int click_cancel_and_answer_yes(const char* text, const char* caption, unsigned style) {
    for (HWND window : process_dialogs(GetCurrentProcessId()))
        if (GetDlgItem(window, IDC_PROGRESS_BAR) != nullptr)
            PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    return answer_yes;
}

TEST_F(batch_window, cancel_stops_before_the_next_file_and_is_cleared) {
    const std::string long_name(36, 'b');
    for (const std::string name : {"a", long_name.c_str(), "c", "d", "e"})
        write_tga(input + "\\" + name + ".tga");
    set_message_handler(click_cancel_and_answer_yes);
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    const std::string names = "\"a.tga\" \"" + long_name + ".tga\" \"c.tga\" \"d.tga\" \"e.tga\"";
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, names, 1, output}));
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1);
    EXPECT_EQ(list_folder(output), (std::vector<std::string>{"a.kgf", long_name + ".kgf"}));
    EXPECT_FALSE(cancel_requested);
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
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, {input, 2, names, 2, output}));
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1) << "the dialog comes back";
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"You are trying to convert too many files at one time."});
    EXPECT_EQ(messages.messages().at(0).caption, "Error");
    EXPECT_FALSE(file_exists(output));
}

TEST_F(batch_window, an_output_that_cannot_be_created_shows_one_message_per_file) {
    // The output folder lies below a file; each file has five levels to write.
    write_file_bytes(input + "\\blocker", {1});
    const std::string blocked = input + "\\blocker\\out";
    for (const char* name : {"a.kgf", "b.kgf"})
        write_kgf_file(input + "\\" + name, name, pattern_image(16, 16, 16, 3), 5);
    settings.mipmaps = 1;
    batch_thread batch;
    HWND dialog = file_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NO_FATAL_FAILURE(
        fill_file_dialog(dialog, {input, 1, "\"a.kgf\" \"b.kgf\"", 2, blocked}));
    press(dialog, IDOK);
    ASSERT_TRUE(batch.wait());
    EXPECT_EQ(batch.result, 1);
    EXPECT_EQ(without_reasons(messages.texts()),
              (std::vector<std::string>{"Cannot create " + blocked + "\\a_MM1.tga",
                                        "Cannot create " + blocked + "\\b_MM1.tga"}));
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
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"The output folder is too long: " +
                                                         overlong + "\nEnter a shorter folder."});
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
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"File is missing some data; do not use"});

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

// What the Help buttons started.
std::vector<std::string> help_folders;
HINSTANCE WINAPI record_help(HWND, LPCSTR, LPCSTR file, LPCSTR parameters, LPCSTR folder, INT) {
    help_folders.push_back(std::string(file) + " " + parameters + " in " + folder);
    return reinterpret_cast<HINSTANCE>(33);
}

TEST_F(batch_window, help_finds_the_guide_beside_the_program_when_install_dir_has_none) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string program_folder = program;
    program_folder.resize(program_folder.find_last_of('\\'));
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
        const size_t before = help_folders.size();
        PostMessageA(help, BM_CLICK, 0, 0);
        ASSERT_TRUE(wait_until([&] { return help_folders.size() > before; }, step_timeout_ms));
    }
    press(dialog, IDCANCEL);
    ASSERT_TRUE(batch.wait());
    shell_execute = ShellExecuteA;
    EXPECT_EQ(help_folders, (std::vector<std::string>{"notepad.exe readme.txt in " + program_folder,
                                                      "notepad.exe readme.txt in " + guided}));
    EXPECT_EQ(std::string(settings.install_dir), guided) << "the stored value is not changed";
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
