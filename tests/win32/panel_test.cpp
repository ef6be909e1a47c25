// The file dialog's panel and the progress window, in process: the real
// templates, the hook driven with the notifications the file dialog sends,
// real files read for the preview, and the animation stepped by hand.
#include "convert/convert.h"
#include "formats/byte_reader.h"
#include "formats/kaf_pack.h"
#include "formats/kgf.h"
#include "formats/png.h"
#include "platform/files.h"
#include "platform/message.h"
#include "resources/panel_ids.h"
#include "routines/batch.h"
#include "routines/conversion.h"
#include "routines/image_info.h"
#include "settings/settings.h"
#include "support/test_support.h"
#include "ui/batch_window.h"
#include "ui/panel.h"
#include "ui/preview.h"
#include "ui/ui.h"
#include "win32/window_driving.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using window_driving::item_text;
using window_driving::module;
using window_driving::pump_messages;

INT_PTR CALLBACK hook_as_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return static_cast<INT_PTR>(panel_hook(window, message, wparam, lparam));
}

// A stand-in for the file dialog: a pop-up holding the name field, with the
// real panel template as its child, run by the real hook; opened, unless
// bare, as the file dialog opens: CDN_INITDONE sent.
struct fake_file_dialog {
    HWND dialog = nullptr;
    HWND name_field = nullptr;
    HWND panel = nullptr;
    OPENFILENAMEA request = {};

    enum class state { bare, opened };
    explicit fake_file_dialog(state made = state::opened) {
        dialog = CreateWindowExA(0, "#32770", "KGF Tool", WS_POPUP, 0, 0, 640, 480, nullptr,
                                 nullptr, module(), nullptr);
        name_field =
            CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 300, 20,
                            dialog, reinterpret_cast<HMENU>(edt1), module(), nullptr);
        request.lStructSize = sizeof request;
        panel = CreateDialogParamA(module(), MAKEINTRESOURCEA(IDD_PANEL), dialog,
                                   hook_as_dialog_procedure, reinterpret_cast<LPARAM>(&request));
        if (panel != nullptr) {
            SetWindowPos(panel, nullptr, 0, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            ShowWindow(panel, SW_SHOW);
        }
        if (made == state::opened)
            notify(CDN_INITDONE);
    }
    ~fake_file_dialog() {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
        pump_messages();
    }
    fake_file_dialog(const fake_file_dialog&) = delete;
    fake_file_dialog& operator=(const fake_file_dialog&) = delete;

    // Sends a file-dialog notification as the file dialog does; returns the
    // result the hook left for the dialog.
    LRESULT notify(UINT code) {
        OFNOTIFYA notice = {};
        notice.hdr.hwndFrom = dialog;
        notice.hdr.code = code;
        notice.lpOFN = &request;
        SetWindowLongPtrA(panel, DWLP_MSGRESULT, 12345);
        return SendMessageA(panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
    }
    void highlight(const std::string& text) {
        SetWindowTextA(name_field, text.c_str());
        notify(CDN_SELCHANGE);
    }
    void command(int id, int code) {
        SendMessageA(panel, WM_COMMAND, MAKEWPARAM(id, code),
                     reinterpret_cast<LPARAM>(GetDlgItem(panel, id)));
    }
    HWND item(int id) const { return GetDlgItem(panel, id); }
};

class panel_test : public ::testing::Test {
  protected:
    void SetUp() override {
        app_instance = module();
        reset_routines_state();
        init_format_descriptions();
        info_window = nullptr;
        release_preview();
        panel_state.read_ok = false;
        panel_state.frame_counter = 0;
    }
    void TearDown() override {
        release_preview();
        pump_messages();
    }
    message_recorder messages;
};

// ---------------------------------------------------------------------------
// Files for the preview.

// Pixels of a test picture: a pattern, or magenta (a colour no dialog
// background has) in the top left quarter as shown and black elsewhere.
enum class fill { pattern, magenta_quarter };

void write_tga(const std::string& path, int width, int height, int bpp,
               fill pixels = fill::pattern) {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_u16(bytes, static_cast<unsigned>(width));
    put_u16(bytes, static_cast<unsigned>(height));
    bytes.push_back(static_cast<uint8_t>(bpp));
    bytes.push_back(0);
    const int channels = bpp / 8;
    for (int i = 0; i < width * height * channels; ++i) {
        // Rows are stored bottom row first; channels are B, G, R(, A).
        const int x = i / channels % width, row = i / channels / width;
        const bool magenta = x < width / 2 && row >= height / 2 && i % channels != 1;
        bytes.push_back(pixels == fill::pattern ? static_cast<uint8_t>(i * 7 + 3)
                                                : (magenta ? 0xFF : 0));
    }
    write_file_bytes(path, bytes);
}

// A KGF written by the core from a TGA in the current folder; returns its
// bytes.
std::vector<uint8_t> write_kgf_from(const std::string& folder, const std::string& tga_name,
                                    int width, int height, fill pixels = fill::pattern) {
    write_tga(folder + "\\" + tga_name, width, height, 24, pixels);
    char out[path_bytes] = {};
    std::snprintf(out, sizeof out, "%s\\", folder.c_str());
    char name[path_bytes] = {};
    std::snprintf(name, sizeof name, "%s", tga_name.c_str());
    EXPECT_EQ(convert_tga_to_kgf(out, name), 1);
    return read_file_bytes(folder + "\\" + name);
}

// A KAF of the given KGF files: a frame record has a KGF file's layout.
void write_kaf(const std::string& path, const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<uint8_t> bytes(17, 0);
    bytes[0] = static_cast<uint8_t>(frames.size());
    for (const auto& frame : frames)
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    write_file_bytes(path, bytes);
}

// The first level of a KGF file as the preview holds it: rows bottom first.
std::vector<uint8_t> display_pixels(const std::string& path) {
    image_buffer image;
    init_image_buffer(image, 16);
    kgf_reading reading;
    EXPECT_EQ(decode_file(path.c_str(),
                          [&](byte_reader& reader) {
                              return decode_kgf(reader, image, kgf_levels::first_only,
                                                row_order::bottom_first, reading);
                          })
                  .status,
              kgf_status::ok);
    return image.data;
}

std::string info_text() {
    return std::string(image_info.type_name) + "|" + image_info.resolution + "|" +
           std::to_string(image_info.color_depth) + "|" + std::to_string(image_info.mip_levels) +
           "|" + std::to_string(image_info.frames) + (image_info.sizes_differ ? "|differ" : "");
}

// ---------------------------------------------------------------------------
// Templates.

struct item_place {
    int id;
    const char* kind;
    RECT units; // x, y, width, height in dialog units
};

// Where the dialog manager puts an item: x, y, width and height each mapped
// on its own, MulDiv(value, base unit, 4 or 8). The mapped edges would round
// differently for some fonts, so the width is not right minus left of them.
RECT item_pixels(HWND dialog, const RECT& units) {
    RECT base = {0, 0, 4, 8}; // one base unit each way
    MapDialogRect(dialog, &base);
    return {MulDiv(units.left, base.right, 4), MulDiv(units.top, base.bottom, 8),
            MulDiv(units.right, base.right, 4), MulDiv(units.bottom, base.bottom, 8)};
}

void expect_places(HWND dialog, const std::vector<item_place>& items) {
    for (const item_place& item : items) {
        HWND control = GetDlgItem(dialog, item.id);
        ASSERT_NE(control, nullptr) << item.id;
        char kind[64] = {};
        GetClassNameA(control, kind, sizeof kind);
        EXPECT_EQ(_stricmp(kind, item.kind), 0) << item.id << " is " << kind;
        const RECT expected = item_pixels(dialog, item.units);
        RECT actual;
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left) << item.id;
        EXPECT_EQ(actual.top, expected.top) << item.id;
        EXPECT_EQ(actual.right - actual.left, expected.right) << item.id;
        if (item.id != IDC_PANEL_OUTPUT_TYPE) { // a drop-down list sizes itself
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << item.id;
        }
    }
}

TEST_F(panel_test, panel_template_has_the_tabled_items) {
    fake_file_dialog file_dialog(fake_file_dialog::state::bare);
    ASSERT_NE(file_dialog.panel, nullptr);
    HWND panel = file_dialog.panel;
    const LONG style = GetWindowLongA(panel, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_CLIPSIBLINGS);
    const RECT size = item_pixels(panel, {0, 0, 287, 103});
    RECT client;
    GetClientRect(panel, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    expect_places(panel, {{IDC_PANEL_OUTPUT_TYPE, "ComboBox", {16, 22, 118, 60}},
                          {IDC_PANEL_OPTIONS, "Button", {144, 22, 39, 14}},
                          {IDC_PANEL_OUTPUT_FOLDER, "Edit", {16, 50, 145, 14}},
                          {IDC_PANEL_BROWSE, "Button", {166, 50, 17, 14}},
                          {IDC_PANEL_PREVIEW, "Static", {202, 10, 64, 59}},
                          {IDC_PANEL_HELP, "Button", {47, 82, 50, 14}},
                          {IDC_PANEL_ABOUT, "Button", {110, 82, 50, 14}},
                          {IDC_PANEL_IMAGE_INFO, "Button", {210, 82, 50, 14}}});
    const LONG list_style = GetWindowLongA(file_dialog.item(IDC_PANEL_OUTPUT_TYPE), GWL_STYLE);
    EXPECT_EQ(list_style & 3, CBS_DROPDOWNLIST);
    EXPECT_TRUE(list_style & CBS_SORT);
    EXPECT_TRUE(GetWindowLongA(file_dialog.item(IDC_PANEL_OUTPUT_FOLDER), GWL_STYLE) &
                ES_AUTOHSCROLL);
    EXPECT_EQ(item_text(panel, IDC_PANEL_OPTIONS), "&Options...");
    EXPECT_EQ(item_text(panel, IDC_PANEL_IMAGE_INFO), "I&mage Info...");
    EXPECT_EQ(item_text(panel, IDC_PANEL_PREVIEW), "");
}

// Each test shows one progress window: taking one off the screen is slow here.
TEST_F(panel_test, progress_window_shows_cancel_which_sets_the_flag_and_hides_it) {
    cancel_requested = false;
    HWND progress = CreateDialogParamA(module(), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                       progress_procedure, 0);
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_EQ(window_driving::window_text(progress), "KGF Tool");
    EXPECT_EQ(item_text(progress, IDC_PROGRESS_FILE_LINE), "");
    expect_places(progress, {{IDC_PROGRESS_FILE_LINE, "Static", {15, 20, 160, 8}},
                             {IDC_PROGRESS_BAR, PROGRESS_CLASSA, {15, 35, 160, 14}},
                             {IDCANCEL, "Button", {65, 55, 50, 14}}});
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(progress, IDCANCEL)));
    // Other commands change nothing.
    SendMessageA(progress, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(cancel_requested);
    EXPECT_TRUE(IsWindowVisible(progress));
    // Any notification code of control 2 cancels.
    SendMessageA(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, 7), 0);
    EXPECT_TRUE(cancel_requested);
    EXPECT_FALSE(IsWindowVisible(progress));
    DestroyWindow(progress);
    cancel_requested = false;
}

TEST_F(panel_test, a_click_or_escape_on_the_progress_window_is_seen_between_files) {
    cancel_requested = false;
    HWND progress = CreateDialogParamA(module(), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                       progress_procedure, 0);
    ASSERT_NE(progress, nullptr);
    HWND button = GetDlgItem(progress, IDCANCEL);
    pump_progress_messages(progress);
    EXPECT_FALSE(cancel_requested);
    // Keys go through the dialog's own handling: Escape is Cancel.
    PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    pump_progress_messages(progress);
    EXPECT_TRUE(cancel_requested);
    cancel_requested = false;
    // A click queued while a file converts is dispatched by the next pump.
    PostMessageA(button, BM_CLICK, 0, 0);
    pump_progress_messages(progress);
    EXPECT_TRUE(cancel_requested);
    DestroyWindow(progress);
    cancel_requested = false;
}

// ---------------------------------------------------------------------------
// Set-up, commands, acceptance and destruction.

TEST_F(panel_test, set_up_fills_the_list_and_the_folder_from_the_settings) {
    std::snprintf(settings.output_dir, sizeof settings.output_dir, "C:\\somewhere\\out\\");
    settings.output_type = 1;
    fake_file_dialog file_dialog(fake_file_dialog::state::bare);
    EXPECT_EQ(file_dialog.notify(CDN_INITDONE), 0);
    HWND list = file_dialog.item(IDC_PANEL_OUTPUT_TYPE);
    // The three types in their places, PNG after them though it sorts before TGA.
    ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 4);
    for (int i = 0; i < 4; ++i) {
        char text[256] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, format_descriptions[i]);
    }
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);
    EXPECT_STREQ(output_type_text, format_descriptions[1]);
    EXPECT_EQ(item_text(file_dialog.panel, IDC_PANEL_OUTPUT_FOLDER), "C:\\somewhere\\out\\");
    EXPECT_EQ(panel_state.open_dialog, file_dialog.dialog);
}

TEST_F(panel_test, an_output_type_outside_the_list_leaves_no_selection) {
    settings.output_type = 4;
    std::snprintf(output_type_text, sizeof output_type_text, "stale");
    fake_file_dialog file_dialog;
    EXPECT_EQ(SendMessageA(file_dialog.item(IDC_PANEL_OUTPUT_TYPE), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_STREQ(output_type_text, "");
    // The Options button then does nothing.
    file_dialog.command(IDC_PANEL_OPTIONS, BN_CLICKED);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(panel_test, choosing_an_output_type_updates_setting_and_text) {
    fake_file_dialog file_dialog;
    HWND list = file_dialog.item(IDC_PANEL_OUTPUT_TYPE);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    file_dialog.command(IDC_PANEL_OUTPUT_TYPE, CBN_SELCHANGE);
    EXPECT_EQ(settings.output_type, 0);
    EXPECT_STREQ(output_type_text, format_descriptions[0]);
    // KAF output has no options: only the message.
    file_dialog.command(IDC_PANEL_OPTIONS, BN_CLICKED);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text,
              "Sorry, but you cannot create KAFs (animations) with this version.");
    EXPECT_EQ(messages.messages()[0].caption, "Sorry");
    EXPECT_EQ(messages.messages()[0].style, message_ok);
}

// The modal dialog a command opened, found from a timer while it runs and
// then closed with Cancel.
struct opened_dialog {
    std::string caption;
    HWND owner = nullptr;
} opened;

void CALLBACK close_opened_dialog(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            char kind[64] = {}, caption[256] = {};
            GetClassNameA(window, kind, sizeof kind);
            GetWindowTextA(window, caption, sizeof caption);
            if (!IsWindowVisible(window) || std::strcmp(kind, "#32770") != 0)
                return TRUE;
            opened = {caption, GetWindow(window, GW_OWNER)};
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return FALSE;
        },
        0);
}

TEST_F(panel_test, options_open_the_dialog_of_the_output_type) {
    fake_file_dialog file_dialog;
    const struct {
        int position;
        const char* caption;
    } rows[] = {{1, "KGF Options"}, {2, "TGA Options"}, {3, "TGA Options"}};
    for (const auto& row : rows) {
        SendMessageA(file_dialog.item(IDC_PANEL_OUTPUT_TYPE), CB_SETCURSEL, row.position, 0);
        file_dialog.command(IDC_PANEL_OUTPUT_TYPE, CBN_SELCHANGE);
        opened = {};
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, close_opened_dialog);
        file_dialog.command(IDC_PANEL_OPTIONS, BN_CLICKED);
        KillTimer(nullptr, timer);
        EXPECT_EQ(opened.caption, row.caption);
        EXPECT_EQ(opened.owner, file_dialog.dialog);
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(panel_test, acceptance_stores_type_and_folder_and_accepts) {
    struct case_row {
        std::string field;
        std::string stored;
    };
    const std::string fits = "C:\\" + std::string(251, 'f'); // 254 bytes, then the separator
    std::string trees = "C:\\"; // 83 characters of three bytes: 252 bytes
    for (int i = 0; i < 83; ++i)
        trees += "木";
    const case_row rows[] = {
        {"C:\\out", "C:\\out\\"},   {"C:\\out\\", "C:\\out\\"},   {fits, fits + "\\"},
        {fits + "\\", fits + "\\"}, {"C:\\Выход", "C:\\Выход\\"}, {trees, trees + "\\"},
    };
    for (const case_row& row : rows) {
        fake_file_dialog file_dialog;
        SendMessageA(file_dialog.item(IDC_PANEL_OUTPUT_TYPE), CB_SETCURSEL, 2, 0);
        output_type_text[0] = '\0';
        SetDlgItemTextA(file_dialog.panel, IDC_PANEL_OUTPUT_FOLDER, row.field.c_str());
        EXPECT_EQ(file_dialog.notify(CDN_FILEOK), 0) << "the selection must be accepted";
        EXPECT_EQ(settings.output_dir, row.stored);
        EXPECT_STREQ(output_type_text, format_descriptions[2]);
    }
    EXPECT_TRUE(messages.texts().empty());
}

// A cleared field would write into the drive's root, and a folder cut to
// fit into some other folder than the one typed: both are refused, the
// dialog stays, and the stored folder is kept, also at destruction.
TEST_F(panel_test, an_empty_or_too_long_folder_is_refused_and_the_stored_one_kept) {
    const std::string kept = "C:\\kept\\";
    std::snprintf(settings.output_dir, sizeof settings.output_dir, "%s", kept.c_str());
    const std::string full = "C:\\" + std::string(252, 'f'); // 255 bytes: no room for "\\"
    // Cut between characters to fit, this would send the files to its
    // parent folder, the 254 bytes before "Выход".
    const std::string cut_between = "C:\\" + std::string(250, 'f') + "\\Выход";
    std::string trees = "C:\\"; // 300 characters of three bytes
    for (int i = 0; i < 300; ++i)
        trees += "木";
    // The folder is shown shortened in the middle to 32 bytes, cut between
    // characters.
    auto too_long = [](const std::string& shown) {
        return "The output folder is too long: " + shown + "\nEnter a shorter folder.";
    };
    const std::string f11 = "C:\\" + std::string(11, 'f') + "...";
    struct case_row {
        std::string field;
        std::string message;
    };
    const case_row rows[] = {
        {"", empty_output_folder},
        {"   ", empty_output_folder},
        {full, too_long(f11 + std::string(15, 'f'))},
        {full + "\\", too_long(f11 + std::string(14, 'f') + "\\")},
        {cut_between, too_long(f11 + "\\Выход")},
        {trees, too_long("C:\\木木木...木木木木木")},
    };
    fake_file_dialog file_dialog;
    for (const case_row& row : rows) {
        messages.clear();
        SetDlgItemTextA(file_dialog.panel, IDC_PANEL_OUTPUT_FOLDER, row.field.c_str());
        EXPECT_EQ(file_dialog.notify(CDN_FILEOK), 1) << "the selection is refused";
        EXPECT_EQ(settings.output_dir, kept);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{row.message});
    }
    SendMessageA(file_dialog.panel, WM_DESTROY, 0, 0);
    EXPECT_EQ(settings.output_dir, kept);
}

TEST_F(panel_test, destruction_keeps_the_typed_folder_and_forgets_the_info_window) {
    fake_file_dialog file_dialog;
    SetDlgItemTextA(file_dialog.panel, IDC_PANEL_OUTPUT_FOLDER, "D:\\typed");
    file_dialog.command(IDC_PANEL_IMAGE_INFO, BN_CLICKED);
    ASSERT_NE(info_window, nullptr);
    const HWND first = info_window;
    // A second press while it is open opens nothing new.
    file_dialog.command(IDC_PANEL_IMAGE_INFO, BN_CLICKED);
    EXPECT_EQ(info_window, first);
    EXPECT_EQ(GetWindow(first, GW_OWNER), file_dialog.dialog);
    EXPECT_EQ(SendMessageA(file_dialog.panel, WM_DESTROY, 0, 0), 0);
    EXPECT_STREQ(settings.output_dir, "D:\\typed\\");
    EXPECT_EQ(info_window, nullptr);
}

TEST_F(panel_test, folder_change_takes_the_current_folder_and_empties_the_name) {
    scratch_folder folder;
    current_folder_change here(folder.path);
    fake_file_dialog file_dialog;
    SetWindowTextA(file_dialog.name_field, "C:\\typed\\folder");
    file_dialog.notify(CDN_FOLDERCHANGE);
    EXPECT_EQ(item_text(file_dialog.dialog, edt1), "");
    EXPECT_EQ(_stricmp(settings.input_dir, current_folder().c_str()), 0) << settings.input_dir;
}

TEST_F(panel_test, unknown_events_are_left_and_the_context_menu_is_swallowed) {
    fake_file_dialog file_dialog(fake_file_dialog::state::bare);
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_CONTEXTMENU, 0, 0), 1u);
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_MOUSEMOVE, 0, 0), 0u);
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_NOTIFY, 0, 0), 0u);
    // Notifications are handled, destruction is left to the platform.
    OFNOTIFYA notice = {};
    notice.hdr.hwndFrom = file_dialog.dialog;
    notice.hdr.code = CDN_SHAREVIOLATION;
    notice.lpOFN = &file_dialog.request;
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice)), 1u);
    notice.hdr.code = CDN_FILEOK;
    SetDlgItemTextA(file_dialog.panel, IDC_PANEL_OUTPUT_FOLDER, "C:\\out");
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice)), 1u);
    EXPECT_EQ(GetWindowLongPtrA(file_dialog.panel, DWLP_MSGRESULT), 0);
    EXPECT_EQ(panel_hook(file_dialog.panel, WM_DESTROY, 0, 0), 0u);
}

// ---------------------------------------------------------------------------
// Highlighting files.

struct preview_files {
    scratch_folder folder;
    current_folder_change here{folder.path};
    std::vector<uint8_t> frame0, frame1;
    preview_files() {
        write_tga(folder.file("a.TGA"), 8, 6, 24);
        write_tga(folder.file("a.Tga"), 8, 6, 24);
        write_tga(folder.file("xtga"), 5, 3, 32);
        write_tga(folder.file("odd.tga"), 5, 3, 24);
        write_file_bytes(folder.file("broken.tga"), {0, 0, 2, 0});
        write_kgf_from(folder.path, "w.tga", 16, 8);
        frame0 = write_kgf_from(folder.path, "f0.tga", 8, 4);
        frame1 = write_kgf_from(folder.path, "f1.tga", 4, 4);
        write_kaf(folder.file("anim.kaf"), {frame0, frame1});
        // A PNG of 7 x 5 with alpha, and one cut short.
        image_buffer picture;
        init_image_buffer(picture, 32);
        picture.width = 7;
        picture.height = 5;
        allocate_image_data(picture, mip_chain_bytes(picture));
        std::vector<uint8_t> png;
        encode_png(png, picture, 0);
        write_file_bytes(folder.file("p.png"), png);
        png.resize(png.size() / 2);
        write_file_bytes(folder.file("cut.png"), png);
    }
};

TEST_F(panel_test, highlighting_reads_by_the_exact_ending) {
    preview_files files;
    fake_file_dialog file_dialog;
    struct case_row {
        const char* name;
        const char* info;
        bool loaded;
    };
    const case_row rows[] = {
        {"a.TGA", "TGA|8x6|24|1|1", true},
        {"w.kgf", "KGF|16x8|16|1|1", true},
        {"xtga", "TGA|5x3|32|1|1", true},
        {"a.Tga", "||0|0|0", false},                 // mixed case: nothing read, blanked
        {"\"a.TGA\" \"w.kgf\"", "||0|0|0", false},   // several files
        {"anim.kaf", "KAF|8x4|16|1|2|differ", true}, // the first frame's size
        {"p.png", "PNG|7x5|32|1|1", true},           // its own depth; no note of the KAF
        {"p.Png", "||0|0|0", false},
    };
    for (const case_row& row : rows) {
        file_dialog.highlight(row.name);
        EXPECT_STREQ(panel_state.highlighted_name, row.name);
        EXPECT_EQ(info_text(), row.info) << row.name;
        EXPECT_EQ(panel_state.preview_loaded, row.loaded) << row.name;
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(panel_test, a_failed_read_blanks_the_information_and_empties_the_preview) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.highlight("a.TGA");
    ASSERT_FALSE(panel_state.preview.data.empty());
    file_dialog.highlight("broken.tga");
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_FALSE(panel_state.read_ok);
    EXPECT_FALSE(panel_state.preview_loaded);
    EXPECT_TRUE(panel_state.preview.data.empty());
    // Nothing of the file before: blank, and marked unreadable.
    EXPECT_EQ(info_text(), "||0|0|0");
    EXPECT_TRUE(panel_state.highlight_unreadable);
    // The same highlight reported again reads nothing and shows nothing.
    file_dialog.notify(CDN_SELCHANGE);
    EXPECT_EQ(messages.texts().size(), 1u);
    // An unknown ending is no unreadable file.
    file_dialog.highlight("notes.txt");
    EXPECT_EQ(info_text(), "||0|0|0");
    EXPECT_FALSE(panel_state.highlight_unreadable); // A damaged PNG is refused by name and reason.
    file_dialog.highlight("cut.png");
    ASSERT_EQ(messages.texts().size(), 2u);
    EXPECT_EQ(messages.texts()[1], "cut.png: The PNG file is cut short!");
    EXPECT_TRUE(panel_state.highlight_unreadable);
}

TEST_F(panel_test, the_info_window_follows_the_highlight) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.command(IDC_PANEL_IMAGE_INFO, BN_CLICKED);
    ASSERT_NE(info_window, nullptr);
    file_dialog.highlight("w.kgf");
    EXPECT_EQ(item_text(info_window, 1031), "KGF");
    EXPECT_EQ(item_text(info_window, 1032), "16x8");
    file_dialog.highlight("anim.kaf");
    EXPECT_EQ(item_text(info_window, 1031), "KAF");
    EXPECT_EQ(item_text(info_window, 1035), "2");
}

TEST_F(panel_test, a_filter_change_stops_the_animation_and_clears_the_preview) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.highlight("anim.kaf");
    ASSERT_TRUE(panel_state.playing);
    file_dialog.request.nFilterIndex = 3;
    SetWindowTextA(file_dialog.name_field, "anim.kaf");
    file_dialog.notify(CDN_TYPECHANGE);
    EXPECT_EQ(settings.input_type, 2);
    EXPECT_EQ(item_text(file_dialog.dialog, edt1), "");
    EXPECT_FALSE(panel_state.playing);
    EXPECT_TRUE(panel_state.frame_sizes.empty());
    EXPECT_TRUE(panel_state.frame_data.empty());
}

// ---------------------------------------------------------------------------
// The animation.

void tick(const fake_file_dialog& file_dialog) {
    SendMessageA(file_dialog.panel, WM_TIMER, animation_timer, 0);
}

LPARAM point(int x, int y) {
    return MAKELPARAM(x, y);
}

TEST_F(panel_test, ticks_show_each_frame_in_turn_and_wrap) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.highlight("anim.kaf");
    EXPECT_TRUE(panel_state.preview.data.empty()) << "empty until the first tick";
    const std::vector<uint8_t> pixels0 = display_pixels(files.folder.file("f0.kgf"));
    const std::vector<uint8_t> pixels1 = display_pixels(files.folder.file("f1.kgf"));
    const std::vector<uint8_t>* expected[] = {&pixels0, &pixels1, &pixels0};
    const int sizes[][2] = {{8, 4}, {4, 4}, {8, 4}};
    for (int step = 0; step < 3; ++step) {
        tick(file_dialog);
        EXPECT_EQ(panel_state.preview.width, sizes[step][0]) << step;
        EXPECT_EQ(panel_state.preview.height, sizes[step][1]) << step;
        EXPECT_EQ(panel_state.preview.data, *expected[step]) << step;
    }
    // Painting a frame of another size than the header never fails.
    paint_panel(file_dialog.panel);
}

TEST_F(panel_test, clicks_pause_resume_and_step) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.highlight("anim.kaf");
    const RECT area = preview_rectangle(file_dialog.panel);
    const LPARAM inside = point(area.left + 5, area.top + 5);
    const LPARAM on_edge = point(area.left, area.top + 5);

    tick(file_dialog); // frame 0; the counter points at 1
    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, on_edge);
    EXPECT_TRUE(panel_state.playing) << "the edge is outside";
    SendMessageA(file_dialog.panel, WM_RBUTTONDOWN, 0, inside);
    EXPECT_EQ(panel_state.frame_counter, 1) << "no step while playing";
    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, inside);
    EXPECT_FALSE(panel_state.playing);

    SendMessageA(file_dialog.panel, WM_RBUTTONDOWN, 0, inside);
    EXPECT_EQ(panel_state.frame_counter, 2);
    EXPECT_TRUE(panel_state.single_step);
    tick(file_dialog); // shows frame 2 mod 2 = 0 and stops
    EXPECT_FALSE(panel_state.single_step);
    EXPECT_EQ(panel_state.frame_counter, 0);
    EXPECT_EQ(panel_state.preview.width, 8);

    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, inside);
    EXPECT_TRUE(panel_state.playing);

    // A pending step does not halt the next animation highlighted.
    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, inside);
    SendMessageA(file_dialog.panel, WM_RBUTTONDOWN, 0, inside);
    ASSERT_TRUE(panel_state.single_step);
    file_dialog.highlight("anim.kaf");
    tick(file_dialog);
    EXPECT_EQ(panel_state.frame_counter, 1);
    tick(file_dialog);
    EXPECT_EQ(panel_state.frame_counter, 2);
}

TEST_F(panel_test, clicks_on_a_still_picture_change_nothing) {
    preview_files files;
    fake_file_dialog file_dialog;
    file_dialog.highlight("w.kgf");
    const RECT area = preview_rectangle(file_dialog.panel);
    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, point(area.left + 3, area.top + 3));
    SendMessageA(file_dialog.panel, WM_RBUTTONDOWN, 0, point(area.left + 3, area.top + 3));
    EXPECT_FALSE(panel_state.playing);
    EXPECT_FALSE(panel_state.single_step);
    EXPECT_FALSE(panel_state.preview.data.empty());
}

// The rectangle of magenta pixels in the preview area, read back from the
// window as drawn: left, top, width, height; all zero when there are none.
RECT drawn_rectangle(HWND area) {
    RECT client;
    GetClientRect(area, &client);
    HDC window = GetDC(area);
    const RECT found = window_driving::magenta_in(window, POINT{0, 0}, client.right, client.bottom);
    ReleaseDC(area, window);
    return found;
}

// The preview area made 96 x 96 pixels whatever the font makes of its
// dialog units, near the screen's top left whatever the screen's size; the
// dialog shown.
HWND square_area(const fake_file_dialog& file_dialog) {
    HWND area = file_dialog.item(IDC_PANEL_PREVIEW);
    SetWindowPos(area, nullptr, 0, 0, 96, 96, SWP_NOZORDER);
    ShowWindow(file_dialog.dialog, SW_SHOWNA);
    return area;
}

// Paints the panel: the magenta drawn in the area is the expected rectangle.
void expect_drawn(HWND panel, HWND area, const RECT& quarter, const std::string& what) {
    paint_panel(panel);
    const RECT drawn = drawn_rectangle(area);
    EXPECT_EQ(drawn.left, quarter.left) << what;
    EXPECT_EQ(drawn.top, quarter.top) << what;
    EXPECT_EQ(drawn.right, quarter.right) << what;
    EXPECT_EQ(drawn.bottom, quarter.bottom) << what;
}

// Pauses the animation with a click inside the preview, so that only the
// test's ticks step it, never a timer of the window's own.
void pause_animation(const fake_file_dialog& file_dialog) {
    const RECT preview = preview_rectangle(file_dialog.panel);
    SendMessageA(file_dialog.panel, WM_LBUTTONDOWN, 0, point(preview.left + 5, preview.top + 5));
    ASSERT_FALSE(panel_state.playing);
}

TEST_F(panel_test, pictures_are_drawn_centred_or_squeezed_into_the_area) {
    scratch_folder folder;
    current_folder_change here(folder.path);
    write_kgf_from(folder.path, "k64.tga", 64, 64, fill::magenta_quarter);
    write_kgf_from(folder.path, "k128.tga", 128, 128, fill::magenta_quarter);
    write_tga(folder.file("t256.tga"), 256, 32, 24, fill::magenta_quarter);
    fake_file_dialog file_dialog;
    HWND area = square_area(file_dialog);
    struct case_row {
        const char* name;
        RECT quarter; // left, top, width, height of the picture's top left quarter
    };
    const case_row rows[] = {
        {"k64.kgf", {16, 16, 32, 32}}, // at its own size, centred
        {"k128.kgf", {3, 3, 48, 48}},  // shrunk to 96 x 96, 3 pixels from the edges
        {"t256.tga", {3, 32, 48, 16}}, // squeezed to 96 x 32
    };
    for (const case_row& row : rows) {
        file_dialog.highlight(row.name);
        ASSERT_TRUE(panel_state.preview_loaded) << row.name;
        // Whatever else was waiting to paint has painted; then the picture.
        pump_messages();
        expect_drawn(file_dialog.panel, area, row.quarter, row.name);
    }
}

TEST_F(panel_test, frames_of_several_sizes_are_each_drawn_at_their_own_size) {
    scratch_folder folder;
    current_folder_change here(folder.path);
    const int sides[] = {32, 64, 16};
    std::vector<std::vector<uint8_t>> frames;
    for (int side : sides)
        frames.push_back(write_kgf_from(folder.path, "s" + std::to_string(side) + ".tga", side,
                                        side, fill::magenta_quarter));
    write_kaf(folder.file("sizes.kaf"), frames);
    write_kaf(folder.file("same.kaf"), {frames[0], frames[0]});
    fake_file_dialog file_dialog;
    HWND area = square_area(file_dialog);
    file_dialog.command(IDC_PANEL_IMAGE_INFO, BN_CLICKED);
    ASSERT_NE(info_window, nullptr);

    file_dialog.highlight("sizes.kaf");
    // The first frame's size, and the note.
    EXPECT_EQ(item_text(info_window, 1032), "32x32");
    EXPECT_EQ(item_text(info_window, 1036), "Note: sizes differ");
    // Paused, then stepped by hand.
    ASSERT_NO_FATAL_FAILURE(pause_animation(file_dialog));
    for (int side : sides) {
        tick(file_dialog);
        pump_messages();
        // Centred at its own size: the top left quarter from (96 - side) / 2.
        expect_drawn(file_dialog.panel, area,
                     {(96 - side) / 2, (96 - side) / 2, side / 2, side / 2}, std::to_string(side));
    }
    file_dialog.highlight("same.kaf");
    EXPECT_EQ(item_text(info_window, 1032), "32x32");
    EXPECT_EQ(item_text(info_window, 1036), "");
    EXPECT_TRUE(messages.texts().empty());
}

// A frame file read as kgfconv pack reads it.
pack_frame packed_frame(const std::string& path, const std::string& name) {
    pack_frame frame;
    frame.name = name;
    frame.file = path;
    kgf_reading reading;
    EXPECT_EQ(decode_file(path.c_str(),
                          [&](byte_reader& reader) {
                              return decode_frame_picture(reader, frame_format::tga,
                                                          kgf_quality::none, frame, reading);
                          })
                  .status,
              kgf_status::ok);
    return frame;
}

TEST_F(panel_test, an_animation_the_writer_packed_plays_frame_by_frame) {
    scratch_folder folder;
    current_folder_change here(folder.path);
    write_tga(folder.file("a.tga"), 64, 64, 24, fill::magenta_quarter);
    write_tga(folder.file("b.tga"), 64, 64, 24, fill::pattern);
    // The edit: the whole second frame magenta.
    std::vector<uint8_t> edited = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 24, 0};
    for (int i = 0; i < 64 * 64; ++i)
        edited.insert(edited.end(), {0xFF, 0, 0xFF});
    write_file_bytes(folder.file("edited.tga"), edited);
    // The original, then its second frame edited and packed like it.
    std::vector<uint8_t> original_bytes;
    ASSERT_EQ(pack_kaf({packed_frame(folder.file("a.tga"), "a.kgf"),
                        packed_frame(folder.file("b.tga"), "b.kgf")},
                       nullptr, pack_options{}, original_bytes)
                  .status,
              kgf_status::ok);
    kaf_original original;
    ASSERT_EQ(decode_kaf_original(original_bytes.data(), original_bytes.size(), original),
              kgf_status::ok);
    std::vector<uint8_t> packed;
    const pack_result result = pack_kaf({packed_frame(folder.file("a.tga"), "a.kgf"),
                                         packed_frame(folder.file("edited.tga"), "b.kgf")},
                                        &original, pack_options{}, packed);
    ASSERT_EQ(result.status, kgf_status::ok);
    ASSERT_EQ(result.summary.copied, 1);
    write_file_bytes(folder.file("packed.kaf"), packed);

    fake_file_dialog file_dialog;
    HWND area = square_area(file_dialog);
    file_dialog.highlight("packed.kaf");
    ASSERT_TRUE(panel_state.preview_loaded);
    EXPECT_EQ(std::string(image_info.type_name), "KAF");
    EXPECT_EQ(image_info.frames, 2);
    // Paused and stepped by hand. The magenta as drawn: the copied frame's
    // top left quarter, the whole edited frame, and the first frame again.
    ASSERT_NO_FATAL_FAILURE(pause_animation(file_dialog));
    pump_messages();
    const RECT quarters[] = {{16, 16, 32, 32}, {16, 16, 64, 64}, {16, 16, 32, 32}};
    for (const RECT& quarter : quarters) {
        tick(file_dialog);
        expect_drawn(file_dialog.panel, area, quarter,
                     "frame " + std::to_string(&quarter - quarters));
    }
}

// Names no single ANSI code page spells, read through the UTF-8 code page
// this test program declares as the dialog program does: a picture and an
// animation in a Cyrillic folder are previewed, drawn and described like
// any other file.
TEST_F(panel_test, files_named_in_every_language_are_previewed_and_described) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    scratch_folder root;
    const std::string folder = root.file("Текстуры");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    current_folder_change here(folder);
    // The folder under its own name, as the system spells it.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(std::wstring(current).ends_with(L"\\Текстуры"));
    write_kgf_from(folder, "木の壁.tga", 64, 64, fill::magenta_quarter);
    const std::vector<uint8_t> large =
        write_kgf_from(folder, "большой.tga", 64, 64, fill::magenta_quarter);
    const std::vector<uint8_t> small =
        write_kgf_from(folder, "小さい.tga", 32, 32, fill::magenta_quarter);
    write_kaf(folder + "\\Анимация木.kaf", {large, small});

    fake_file_dialog file_dialog;
    file_dialog.command(IDC_PANEL_IMAGE_INFO, BN_CLICKED);
    ASSERT_NE(info_window, nullptr);
    HWND area = square_area(file_dialog);

    file_dialog.highlight("木の壁.kgf");
    ASSERT_TRUE(panel_state.preview_loaded)
        << (messages.texts().empty() ? "" : messages.texts().front());
    EXPECT_STREQ(panel_state.highlighted_name, "木の壁.kgf");
    EXPECT_EQ(info_text(), "KGF|64x64|16|1|1");
    EXPECT_EQ(item_text(info_window, 1031), "KGF");
    EXPECT_EQ(item_text(info_window, 1032), "64x64");
    pump_messages();
    expect_drawn(file_dialog.panel, area, {16, 16, 32, 32}, "木の壁.kgf");

    // The animation, paused and stepped by hand. Each frame is drawn at its
    // own size; the information gives the first frame's.
    file_dialog.highlight("Анимация木.kaf");
    ASSERT_TRUE(panel_state.preview_loaded);
    EXPECT_EQ(info_text(), "KAF|64x64|16|1|2|differ");
    EXPECT_EQ(item_text(info_window, 1031), "KAF");
    EXPECT_EQ(item_text(info_window, 1035), "2");
    ASSERT_NO_FATAL_FAILURE(pause_animation(file_dialog));
    pump_messages();
    tick(file_dialog);
    expect_drawn(file_dialog.panel, area, {16, 16, 32, 32}, "the first frame");
    tick(file_dialog);
    expect_drawn(file_dialog.panel, area, {32, 32, 16, 16}, "the second frame");
    EXPECT_EQ(messages.texts(), std::vector<std::string>());
}

TEST_F(panel_test, rows_are_padded_to_four_bytes_for_drawing) {
    EXPECT_EQ(dib_row_bytes(5, 24), 16);
    EXPECT_EQ(dib_row_bytes(4, 24), 12);
    EXPECT_EQ(dib_row_bytes(3, 16), 8);
    EXPECT_EQ(dib_row_bytes(3, 32), 12);
    EXPECT_EQ(dib_row_bytes(0, 24), 0);
    preview_files files;
    fake_file_dialog file_dialog;
    // An odd row length is drawn from a padded copy, never past the pixels.
    file_dialog.highlight("odd.tga");
    ASSERT_EQ(panel_state.preview.data.size(), 5u * 3u * 3u);
    paint_panel(file_dialog.panel);
}

} // namespace
