// The small dialogs, the splash and window placement, driven by messages in
// process from the test program's own copy of the resources.
#include "platform/message.h"
#include "resources/about_text.h"
#include "routines/batch.h"
#include "routines/image_info.h"
#include "settings/settings.h"
#include "support/test_support.h"
#include "ui/ui.h"
#include "win32/window_driving.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using window_driving::module;

// ---------------------------------------------------------------------------
// Helpers: windows at known places, message pumping, scripted modal dialogs.

// A hidden pop-up window at a known screen rectangle.
struct test_window {
    HWND handle;
    test_window(int left, int top, int width, int height) {
        handle = CreateWindowExA(0, "STATIC", "", WS_POPUP, left, top, width, height, nullptr,
                                 nullptr, module(), nullptr);
    }
    ~test_window() { DestroyWindow(handle); }
    test_window(const test_window&) = delete;
    test_window& operator=(const test_window&) = delete;
};

// A modeless dialog, destroyed with the object unless it destroyed itself.
struct modeless_dialog {
    HWND handle;
    modeless_dialog(int id, DLGPROC procedure, HWND owner = nullptr) {
        handle = CreateDialogParamA(module(), MAKEINTRESOURCEA(id), owner, procedure, 0);
    }
    ~modeless_dialog() {
        if (IsWindow(handle))
            DestroyWindow(handle);
    }
    modeless_dialog(const modeless_dialog&) = delete;
    modeless_dialog& operator=(const modeless_dialog&) = delete;
};

using window_driving::item_text;
using window_driving::pump_messages;

bool checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// The Escape key as the keyboard delivers it to the focused item.
void press_escape(HWND dialog) {
    HWND target = GetFocus();
    if (target == nullptr || (target != dialog && !IsChild(dialog, target)))
        target = dialog;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void close_box(HWND dialog) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
}

// A modal dialog run by the platform's own loop, with steps run one per
// timer tick while it is open and a watchdog that ends it if it never
// closes, so a broken dialog fails the test instead of hanging it.
using script_step = std::function<void(HWND dialog)>;

struct dialog_script {
    DLGPROC procedure = nullptr;
    std::vector<script_step> steps;
    size_t next = 0;
    HWND dialog = nullptr;
    bool timed_out = false;
};

dialog_script* active_script = nullptr;

INT_PTR CALLBACK scripted_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG)
        active_script->dialog = window;
    return active_script->procedure(window, message, wparam, lparam);
}

void CALLBACK script_tick(HWND, UINT, UINT_PTR, DWORD) {
    dialog_script& script = *active_script;
    // Steps start once the loop has shown the dialog, as a user would.
    if (script.dialog != nullptr && IsWindowVisible(script.dialog) &&
        script.next < script.steps.size())
        script.steps[script.next++](script.dialog);
}

void CALLBACK watchdog_tick(HWND, UINT, UINT_PTR, DWORD) {
    if (active_script->dialog != nullptr && !active_script->timed_out) {
        active_script->timed_out = true;
        EndDialog(active_script->dialog, -2);
    }
}

INT_PTR run_dialog(int id, DLGPROC procedure, HWND owner, std::vector<script_step> steps,
                   UINT watchdog_ms = 5000) {
    dialog_script script;
    script.procedure = procedure;
    script.steps = std::move(steps);
    active_script = &script;
    const UINT_PTR tick = SetTimer(nullptr, 0, 30, script_tick);
    const UINT_PTR watchdog = SetTimer(nullptr, 0, watchdog_ms, watchdog_tick);
    const INT_PTR result =
        DialogBoxParamA(module(), MAKEINTRESOURCEA(id), owner, scripted_procedure, 0);
    KillTimer(nullptr, tick);
    KillTimer(nullptr, watchdog);
    active_script = nullptr;
    pump_messages(); // drop ticks already queued
    EXPECT_FALSE(script.timed_out) << "dialog " << id << " did not close";
    EXPECT_EQ(script.next, script.steps.size()) << "dialog " << id << " closed early";
    return result;
}

bool same_settings(const settings_record& a, const settings_record& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        app_instance = module();
        reset_routines_state();
        info_window = nullptr;
    }
    void TearDown() override {
        if (info_window != nullptr && IsWindow(info_window))
            DestroyWindow(info_window);
        info_window = nullptr;
        pump_messages();
    }
};

// ---------------------------------------------------------------------------
// The templates themselves: sizes, styles, fonts and every item.

std::string wide_to_text(const std::u16string& text) {
    return {text.begin(), text.end()};
}

// Reads a dialog template (the classic layout that DIALOG statements give)
// within the resource's bounds.
struct template_reader {
    const uint8_t* base;
    size_t size;
    size_t at = 0;
    bool failed = false;

    bool fits(size_t bytes) {
        if (failed || at + bytes > size)
            failed = true;
        return !failed;
    }
    uint16_t word() {
        if (!fits(2))
            return 0;
        uint16_t value;
        std::memcpy(&value, base + at, 2);
        at += 2;
        return value;
    }
    uint32_t dword() {
        const uint32_t low = word();
        return low | (static_cast<uint32_t>(word()) << 16);
    }
    std::u16string string() {
        std::u16string text;
        for (uint16_t c = word(); c != 0 && !failed; c = word())
            text.push_back(static_cast<char16_t>(c));
        return text;
    }
    // A name or an ordinal: returns the ordinal, or 0 for a name or none.
    uint16_t name_or_ordinal(std::u16string* name = nullptr) {
        const uint16_t first = word();
        if (first == 0)
            return 0;
        if (first == 0xFFFF)
            return word();
        std::u16string text(1, static_cast<char16_t>(first));
        text += string();
        if (name != nullptr)
            *name = text;
        return 0;
    }
    void align() { at = (at + 3) & ~size_t{3}; }
};

struct template_item {
    uint32_t style = 0;
    int id = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    uint16_t class_ordinal = 0;
    std::string text;
};

struct dialog_template {
    bool loaded = false;
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int cx = 0, cy = 0;
    std::string caption;
    int point_size = 0;
    std::string font;
    std::vector<template_item> items;
};

dialog_template load_template(int id) {
    dialog_template result;
    HRSRC found = FindResourceA(module(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)); // RT_DIALOG
    if (found == nullptr)
        return result;
    HGLOBAL loaded = LoadResource(module(), found);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    template_reader reader{bytes, SizeofResource(module(), found)};
    result.style = reader.dword();
    result.ex_style = reader.dword();
    const int count = reader.word();
    reader.word(); // x
    reader.word(); // y
    result.cx = static_cast<int16_t>(reader.word());
    result.cy = static_cast<int16_t>(reader.word());
    reader.name_or_ordinal(); // menu
    reader.name_or_ordinal(); // class
    result.caption = wide_to_text(reader.string());
    if (result.style & DS_SETFONT) {
        result.point_size = reader.word();
        result.font = wide_to_text(reader.string());
    }
    for (int index = 0; index < count && !reader.failed; ++index) {
        reader.align();
        template_item item;
        item.style = reader.dword();
        reader.dword(); // extended style
        item.x = static_cast<int16_t>(reader.word());
        item.y = static_cast<int16_t>(reader.word());
        item.cx = static_cast<int16_t>(reader.word());
        item.cy = static_cast<int16_t>(reader.word());
        item.id = static_cast<int16_t>(reader.word());
        item.class_ordinal = reader.name_or_ordinal();
        std::u16string text;
        reader.name_or_ordinal(&text);
        item.text = wide_to_text(text);
        const uint16_t extra = reader.word();
        reader.at += extra;
        result.items.push_back(item);
    }
    result.loaded = !reader.failed;
    return result;
}

enum class kind { text, centred_text, group, push, default_push, radio, check, edit };

struct expected_item {
    kind what;
    int id;
    int x, y, cx, cy;
    const char* text; // nullptr: a line of free wording, checked elsewhere
};

constexpr uint16_t button_class = 0x80, edit_class = 0x81, static_class = 0x82;

// The class each kind of item has, and the values its style may take under
// a mask; in the order of the kinds.
struct kind_rule {
    uint16_t class_ordinal;
    uint32_t mask;
    std::vector<uint32_t> styles;
};

const kind_rule kind_rules[] = {
    {static_class, SS_TYPEMASK, {SS_LEFT, SS_LEFTNOWORDWRAP}}, // text
    {static_class, SS_TYPEMASK, {SS_CENTER}},                  // centred_text
    {button_class, BS_TYPEMASK, {BS_GROUPBOX}},                // group
    {button_class, BS_TYPEMASK, {BS_PUSHBUTTON}},              // push
    {button_class, BS_TYPEMASK, {BS_DEFPUSHBUTTON}},           // default_push
    {button_class, BS_TYPEMASK, {BS_AUTORADIOBUTTON}},         // radio
    {button_class, BS_TYPEMASK, {BS_AUTOCHECKBOX}},            // check
    {edit_class, ES_AUTOHSCROLL, {ES_AUTOHSCROLL}},            // edit
};

void expect_kind(const template_item& item, kind what) {
    const kind_rule& rule = kind_rules[static_cast<int>(what)];
    EXPECT_EQ(item.class_ordinal, rule.class_ordinal);
    const uint32_t style = item.style & rule.mask;
    EXPECT_TRUE(std::find(rule.styles.begin(), rule.styles.end(), style) != rule.styles.end())
        << "kind " << static_cast<int>(what) << ", style " << std::hex << style;
}
static_assert(std::size(kind_rules) == static_cast<size_t>(kind::edit) + 1);

struct expected_dialog {
    int id;
    int cx, cy;
    const char* caption; // nullptr: no caption bar
    bool context_help;
    std::vector<expected_item> items;
};

const std::vector<expected_dialog>& expected_dialogs() {
    static const std::vector<expected_dialog> table = {
        {141,
         237,
         118,
         nullptr,
         false,
         {{kind::text, -1, 92, 21, 52, 8, "KGF Tool (v0.7)"},
          {kind::group, -1, 66, 31, 104, 5, ""},
          {kind::centred_text, -1, 73, 41, 85, 8, nullptr},
          {kind::centred_text, -1, 72, 55, 82, 8, nullptr},
          {kind::centred_text, -1, 52, 66, 133, 8, nullptr},
          {kind::group, -1, 50, 76, 138, 5, ""},
          {kind::centred_text, -1, 78, 88, 80, 8, nullptr}}},
        {117,
         237,
         118,
         "About KGF Tool",
         false,
         {{kind::text, -1, 92, 10, 52, 8, "KGF Tool (v0.7)"},
          {kind::group, -1, 66, 20, 104, 5, ""},
          {kind::centred_text, -1, 73, 30, 85, 8, nullptr},
          {kind::centred_text, -1, 72, 44, 82, 8, nullptr},
          {kind::centred_text, -1, 52, 55, 133, 8, nullptr},
          {kind::group, -1, 50, 65, 138, 5, ""},
          {kind::centred_text, -1, 78, 77, 80, 8, nullptr},
          {kind::push, 1008, 24, 95, 65, 14, "&Visit Corvania"},
          {kind::push, 1010, 100, 95, 50, 14, "&Help"},
          {kind::default_push, 1, 159, 95, 55, 14, "&Close"}}},
        {118,
         186,
         95,
         "KGF Options",
         true,
         {{kind::text, -1, 35, 25, 45, 8, "# of mipmaps:"},
          {kind::radio, 1000, 50, 40, 29, 10, "One"},
          {kind::radio, 1001, 110, 40, 29, 10, "Five"},
          {kind::check, 1002, 50, 57, 90, 10, "Best quality"},
          {kind::push, 2, 70, 75, 50, 14, "Cancel"},
          {kind::default_push, 1, 130, 75, 50, 14, "OK"}}},
        {120,
         186,
         111,
         "TGA Options",
         false,
         {{kind::radio, 1000, 10, 14, 33, 10, "24-bit"},
          {kind::radio, 1001, 56, 14, 33, 10, "32-bit"},
          {kind::check, 1012, 10, 31, 75, 10, "Output all mipmaps"},
          {kind::text, -1, 10, 56, 26, 8, "Append"},
          {kind::edit, 1003, 40, 51, 40, 14, ""},
          {kind::text, -1, 85, 56, 86, 8, "<number> to each filename"},
          {kind::centred_text, 1013, 5, 71, 175, 8, ""},
          {kind::push, 2, 70, 91, 50, 14, "Cancel"},
          {kind::default_push, 1, 130, 91, 50, 14, "OK"}}},
        {130,
         186,
         111,
         "Image Information",
         false,
         {{kind::text, -1, 23, 14, 19, 8, "Type:"},
          {kind::text, 1031, 67, 14, 40, 8, ""},
          {kind::text, -1, 23, 28, 36, 8, "Resolution:"},
          {kind::text, 1032, 67, 28, 40, 8, ""},
          {kind::text, -1, 23, 42, 39, 8, "Color depth:"},
          {kind::text, 1033, 67, 42, 40, 8, ""},
          {kind::text, -1, 23, 56, 31, 8, "Mipmaps:"},
          {kind::text, 1034, 67, 56, 40, 8, ""},
          {kind::text, -1, 23, 70, 26, 8, "Frames:"},
          {kind::text, 1035, 67, 70, 40, 8, ""},
          {kind::text, 1036, 23, 84, 100, 8, ""},
          {kind::default_push, 1, 129, 90, 50, 14, "OK"}}},
    };
    return table;
}

TEST_F(dialogs, templates_have_the_tabled_sizes_styles_and_items) {
    for (const expected_dialog& expected : expected_dialogs()) {
        SCOPED_TRACE("dialog " + std::to_string(expected.id));
        const dialog_template found = load_template(expected.id);
        ASSERT_TRUE(found.loaded);
        EXPECT_EQ(found.cx, expected.cx);
        EXPECT_EQ(found.cy, expected.cy);
        EXPECT_EQ(found.font, "MS Sans Serif");
        EXPECT_EQ(found.point_size, 8);
        EXPECT_TRUE(found.style & WS_POPUP);
        EXPECT_TRUE(found.style & DS_MODALFRAME);
        if (expected.caption == nullptr) {
            EXPECT_EQ(found.style & WS_CAPTION, 0u);
            EXPECT_EQ(found.style & WS_SYSMENU, 0u);
        } else {
            EXPECT_EQ(found.style & WS_CAPTION, static_cast<uint32_t>(WS_CAPTION));
            EXPECT_TRUE(found.style & WS_SYSMENU); // the close box
            EXPECT_EQ(found.caption, expected.caption);
        }
        EXPECT_EQ((found.style & DS_CONTEXTHELP) != 0, expected.context_help);
        EXPECT_EQ((found.ex_style & WS_EX_CONTEXTHELP) != 0, expected.context_help);
        ASSERT_EQ(found.items.size(), expected.items.size());
        for (size_t index = 0; index < expected.items.size(); ++index) {
            SCOPED_TRACE("item " + std::to_string(index));
            const template_item& item = found.items[index];
            const expected_item& want = expected.items[index];
            EXPECT_EQ(item.id, want.id);
            EXPECT_EQ(item.x, want.x);
            EXPECT_EQ(item.y, want.y);
            EXPECT_EQ(item.cx, want.cx);
            EXPECT_EQ(item.cy, want.cy);
            expect_kind(item, want.what);
            if (want.text != nullptr)
                EXPECT_EQ(item.text, want.text);
            else
                EXPECT_FALSE(item.text.empty());
        }
    }
}

TEST_F(dialogs, splash_and_about_share_their_four_lines) {
    const dialog_template splash = load_template(141);
    const dialog_template about = load_template(117);
    ASSERT_TRUE(splash.loaded);
    ASSERT_TRUE(about.loaded);
    ASSERT_GE(splash.items.size(), 7u);
    ASSERT_GE(about.items.size(), 7u);
    for (size_t index : {2, 3, 4, 6})
        EXPECT_EQ(splash.items[index].text, about.items[index].text);
    // The web line names the page that "&Visit Corvania" opens.
    const std::string address = KGF_WEB_ADDRESS;
    const std::string host_and_path = address.substr(address.find("//") + 2);
    EXPECT_NE(splash.items[4].text.find(host_and_path.substr(0, host_and_path.size() - 1)),
              std::string::npos)
        << splash.items[4].text;
}

TEST_F(dialogs, string_table_matches_the_built_in_descriptions) {
    init_format_descriptions();
    char built_in[3][description_bytes];
    std::memcpy(built_in, format_descriptions, sizeof built_in);
    std::memset(format_descriptions, 'x', sizeof format_descriptions);

    load_format_descriptions(module());
    EXPECT_STREQ(format_descriptions[0], "Kalvora Animation File (*.kaf)");
    EXPECT_STREQ(format_descriptions[1], "Kalvora Graphics File (*.kgf)");
    EXPECT_STREQ(format_descriptions[2], "Truevision Targa (*.tga)");
    for (int entry = 0; entry < 3; ++entry)
        EXPECT_STREQ(format_descriptions[entry], built_in[entry]);
}

TEST_F(dialogs, missing_string_entries_leave_empty_descriptions) {
    // Any module without entries 1 to 3 will do; system libraries differ.
    for (const char* name : {"ntdll.dll", "kernel32.dll", "gdi32.dll"}) {
        HMODULE library = GetModuleHandleA(name);
        if (library == nullptr)
            continue;
        char probe[description_bytes] = {};
        bool has_entries = false;
        for (UINT entry = 1; entry <= 3; ++entry)
            has_entries = has_entries || LoadStringA(library, entry, probe, sizeof probe) > 0;
        if (has_entries)
            continue;
        std::memset(format_descriptions, 'x', sizeof format_descriptions);
        load_format_descriptions(library);
        for (int entry = 0; entry < 3; ++entry)
            EXPECT_STREQ(format_descriptions[entry], "") << name;
        return;
    }
    GTEST_SKIP() << "every system library probed has entries 1 to 3";
}

// ---------------------------------------------------------------------------
// center_window

struct placement_case {
    RECT reference;
    int width, height;
    int x, y;
};

TEST_F(dialogs, center_window_truncates_each_half_and_never_clamps) {
    const placement_case cases[] = {
        {{0, 0, 801, 600}, 300, 200, 250, 200},         {{0, 0, 801, 600}, 301, 201, 250, 200},
        {{0, 0, 801, 600}, 1001, 200, -100, 200}, // wider: left of the reference
        {{0, 0, 801, 600}, 300, 900, 250, -150},  // taller: above it
        {{100, 50, 301, 251}, 51, 51, 175, 125},  // 100 + 100 - 25, 50 + 100 - 25
        {{-400, -300, -100, -99}, 100, 50, -300, -225},
    };
    for (const placement_case& test : cases) {
        const RECT& r = test.reference;
        test_window reference(r.left, r.top, r.right - r.left, r.bottom - r.top);
        test_window moved(7, 9, test.width, test.height);
        RECT check{};
        GetWindowRect(reference.handle, &check);
        ASSERT_EQ(check.left, r.left);
        ASSERT_EQ(check.right, r.right);

        center_window(moved.handle, reference.handle);
        RECT placed{};
        GetWindowRect(moved.handle, &placed);
        EXPECT_EQ(placed.left, test.x) << test.width << "x" << test.height;
        EXPECT_EQ(placed.top, test.y) << test.width << "x" << test.height;
        EXPECT_EQ(placed.right - placed.left, test.width);
        EXPECT_EQ(placed.bottom - placed.top, test.height);
    }
}

// A dialog centred over a reference, as its outer rectangle shows.
void expect_centred_over(HWND dialog, HWND reference) {
    RECT area{}, own{};
    if (reference != nullptr)
        GetWindowRect(reference, &area);
    else
        GetWindowRect(GetDesktopWindow(), &area);
    GetWindowRect(dialog, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    EXPECT_EQ(own.left, area.left + (area.right - area.left) / 2 - width / 2);
    EXPECT_EQ(own.top, area.top + (area.bottom - area.top) / 2 - height / 2);
}

TEST_F(dialogs, center_window_without_reference_uses_the_desktop) {
    test_window moved(0, 0, 123, 77);
    center_window(moved.handle, nullptr);
    expect_centred_over(moved.handle, nullptr);
}

// ---------------------------------------------------------------------------
// Splash

// The splash's own timer among two set beside it, 100 ms before and after
// its period: the order the timers fire in tells the period without timing
// anything, however slowly this machine runs.
constexpr UINT_PTR timer_before = splash_timer_id + 10, timer_after = splash_timer_id + 11;
std::vector<UINT_PTR> timers_fired;

INT_PTR CALLBACK splash_among_timers(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetTimer(window, timer_before, splash_period_ms - 100, nullptr);
        SetTimer(window, timer_after, splash_period_ms + 100, nullptr);
    }
    if (message == WM_TIMER)
        timers_fired.push_back(wparam);
    return splash_procedure(window, message, wparam, lparam);
}

TEST_F(dialogs, splash_ignores_escape_and_close_and_ends_on_its_timer) {
    bool still_there = false;
    timers_fired.clear();
    const INT_PTR result = run_dialog(141, splash_among_timers, nullptr,
                                      {[](HWND splash) {
                                           press_escape(splash);
                                           close_box(splash);
                                           SendMessageA(splash, WM_COMMAND, IDCANCEL, 0);
                                           SendMessageA(splash, WM_COMMAND, IDOK, 0);
                                       },
                                       [](HWND) {}, // let the posted keys and commands arrive
                                       [&](HWND splash) {
                                           still_there = IsWindowVisible(splash) != FALSE;
                                           expect_centred_over(splash, nullptr);
                                       }},
                                      4 * splash_period_ms);
    EXPECT_TRUE(still_there);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(splash_period_ms, 2000u);
    // Closed by its own timer, after the one before it and before the one after.
    EXPECT_EQ(timers_fired, (std::vector<UINT_PTR>{timer_before, splash_timer_id}));
}

TEST_F(dialogs, splash_ignores_other_timers) {
    modeless_dialog splash(141, splash_procedure);
    ASSERT_NE(splash.handle, nullptr);
    ShowWindow(splash.handle, SW_SHOWNA);
    SendMessageA(splash.handle, WM_TIMER, splash_timer_id + 1, 0);
    EXPECT_TRUE(IsWindow(splash.handle));
    EXPECT_NE(GetWindowLongPtrA(splash.handle, GWL_STYLE) & WS_VISIBLE, 0);
    KillTimer(splash.handle, splash_timer_id);
}

// ---------------------------------------------------------------------------
// KGF options

// The four ways to close an options dialog: only OK stores.
struct dialog_ending {
    const char* name;
    script_step finish;
    INT_PTR result;
    bool stored;
};

const dialog_ending option_endings[] = {
    {"OK", [](HWND d) { click(d, IDOK); }, IDOK, true},
    {"Cancel", [](HWND d) { click(d, IDCANCEL); }, IDCANCEL, false},
    {"Escape", press_escape, IDCANCEL, false},
    {"close box", close_box, IDCANCEL, false},
};

TEST_F(dialogs, kgf_options_select_one_only_for_a_stored_one) {
    const struct {
        uint8_t stored;
        bool one;
    } cases[] = {{1, true}, {5, false}, {0, false}, {2, false}, {255, false}};
    for (const auto& test : cases) {
        settings.num_mipmaps = test.stored;
        modeless_dialog options(118, kgf_options_procedure);
        ASSERT_NE(options.handle, nullptr);
        EXPECT_EQ(checked(options.handle, 1000), test.one) << int(test.stored);
        EXPECT_EQ(checked(options.handle, 1001), !test.one) << int(test.stored);
        // The caption's help button is there (and does nothing of its own).
        EXPECT_TRUE(GetWindowLongPtrA(options.handle, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    }
}

TEST_F(dialogs, kgf_options_store_the_choice_on_ok_only) {
    test_window owner(40, 30, 500, 400);
    for (const dialog_ending& ending : option_endings) {
        for (uint8_t start : {uint8_t{1}, uint8_t{5}}) {
            SCOPED_TRACE(std::string(ending.name) + " from " + std::to_string(start));
            reset_routines_state();
            settings.num_mipmaps = start;
            const settings_record before = settings;
            const int other = start == 1 ? 1001 : 1000;
            const INT_PTR result = run_dialog(118, kgf_options_procedure, owner.handle,
                                              {[&](HWND d) {
                                                   expect_centred_over(d, owner.handle);
                                                   click(d, other);
                                                   EXPECT_TRUE(checked(d, other));
                                               },
                                               ending.finish});
            EXPECT_EQ(result, ending.result);
            if (ending.stored) {
                EXPECT_EQ(settings.num_mipmaps, start == 1 ? 5 : 1);
                settings.num_mipmaps = start;
            }
            EXPECT_TRUE(same_settings(settings, before));
        }
    }
}

TEST_F(dialogs, kgf_options_best_quality_sets_the_three_options) {
    // stored dither, srgb_mips, alpha_mips; shown; what a click and OK store.
    const struct {
        uint8_t stored[3];
        bool shown;
        bool click;
        uint8_t after[3];
    } cases[] = {
        {{0, 0, 0}, false, true, {1, 1, 1}},  {{1, 1, 1}, true, true, {0, 0, 0}},
        {{1, 1, 1}, true, false, {1, 1, 1}},  {{0, 0, 0}, false, false, {0, 0, 0}},
        {{1, 0, 1}, false, false, {1, 0, 1}}, {{1, 0, 1}, false, true, {1, 1, 1}},
        {{2, 1, 1}, false, true, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stored[0]) + std::to_string(c.stored[1]) +
                     std::to_string(c.stored[2]) + (c.click ? " clicked" : ""));
        for (const bool ok : {true, false}) {
            reset_routines_state();
            settings.dither = c.stored[0];
            settings.srgb_mips = c.stored[1];
            settings.alpha_mips = c.stored[2];
            const settings_record before = settings;
            run_dialog(118, kgf_options_procedure, nullptr,
                       {[&](HWND d) {
                            EXPECT_EQ(checked(d, 1002), c.shown);
                            if (c.click)
                                click(d, 1002);
                            // One level count or five stays as it was.
                            EXPECT_TRUE(checked(d, 1000));
                        },
                        [&](HWND d) { click(d, ok ? IDOK : IDCANCEL); }});
            const uint8_t* expected = ok ? c.after : c.stored;
            EXPECT_EQ(settings.dither, expected[0]);
            EXPECT_EQ(settings.srgb_mips, expected[1]);
            EXPECT_EQ(settings.alpha_mips, expected[2]);
            settings.dither = before.dither;
            settings.srgb_mips = before.srgb_mips;
            settings.alpha_mips = before.alpha_mips;
            EXPECT_TRUE(same_settings(settings, before));
        }
    }
}

// Counts the help requests that reach a window.
int help_requests = 0;
WNDPROC owner_procedure = nullptr;

LRESULT CALLBACK counting_owner(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_HELP)
        ++help_requests;
    return CallWindowProcA(owner_procedure, window, message, wparam, lparam);
}

TEST_F(dialogs, kgf_options_help_button_does_nothing) {
    test_window owner(0, 0, 400, 300);
    owner_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(owner.handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting_owner)));
    help_requests = 0;
    settings.num_mipmaps = 1;
    modeless_dialog options(118, kgf_options_procedure, owner.handle);
    HELPINFO help{};
    help.cbSize = sizeof help;
    help.iContextType = HELPINFO_WINDOW;
    help.iCtrlId = 1001;
    help.hItemHandle = GetDlgItem(options.handle, 1001);
    SendMessageA(options.handle, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    EXPECT_EQ(help_requests, 0);
    EXPECT_TRUE(checked(options.handle, 1000));
    EXPECT_EQ(settings.num_mipmaps, 1);
    SetWindowLongPtrA(owner.handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(owner_procedure));
}

TEST_F(dialogs, kgf_options_ignore_unknown_commands) {
    settings.num_mipmaps = 5;
    const INT_PTR result =
        run_dialog(118, kgf_options_procedure, nullptr,
                   {[](HWND d) {
                        SendMessageA(d, WM_COMMAND, 1234, 0);
                        SendMessageA(d, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), 0);
                        // A focus notification from OK is no click.
                        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), 0);
                    },
                    [](HWND d) {
                        EXPECT_TRUE(IsWindowVisible(d));
                        click(d, IDCANCEL);
                    }});
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(settings.num_mipmaps, 5);
}

// ---------------------------------------------------------------------------
// TGA options

std::string example_for(const std::string& used) {
    return "(name" + used + "1.tga, name" + used + "2.tga, etc.)";
}

TEST_F(dialogs, tga_options_open_with_the_stored_values) {
    const struct {
        uint8_t bpp, mipmaps;
        bool bits24, all_levels;
    } cases[] = {
        {24, 0, true, false}, {32, 1, false, true},   {16, 0, false, false},
        {0, 2, false, false}, {24, 255, true, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(test.bpp) + "/" + std::to_string(test.mipmaps));
        reset_routines_state();
        settings.bpp = test.bpp;
        settings.mipmaps = test.mipmaps;
        modeless_dialog options(120, tga_options_procedure);
        ASSERT_NE(options.handle, nullptr);
        EXPECT_EQ(checked(options.handle, 1000), test.bits24);
        EXPECT_EQ(checked(options.handle, 1001), !test.bits24);
        EXPECT_EQ(checked(options.handle, 1012), test.all_levels);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(options.handle, 1003)) != FALSE, test.all_levels);
        // Disabled or not, the field shows the suffix and the example is set.
        EXPECT_EQ(item_text(options.handle, 1003), "_MM");
        EXPECT_EQ(item_text(options.handle, 1013), "(name_MM1.tga, name_MM2.tga, etc.)");
    }
}

TEST_F(dialogs, tga_options_example_follows_the_field) {
    modeless_dialog options(120, tga_options_procedure);
    ASSERT_NE(options.handle, nullptr);
    const struct {
        const char* field;
        const char* used;
    } cases[] = {
        {"", ""},
        {"_MM", "_MM"},
        {"-", "-"},
        {"123456789", "123456789"},
        {"1234567890", "123456789"}, // the tenth character shows only in the field
        {"%s%d", "%s%d"},            // taken as text, never as a pattern
    };
    for (const auto& test : cases) {
        SetDlgItemTextA(options.handle, 1003, test.field);
        EXPECT_EQ(item_text(options.handle, 1003), test.field);
        EXPECT_EQ(item_text(options.handle, 1013), example_for(test.used)) << test.field;
    }
}

TEST_F(dialogs, tga_options_typing_updates_the_example_at_every_key_up_to_ten) {
    settings.mipmaps = 1;
    modeless_dialog options(120, tga_options_procedure);
    HWND field = GetDlgItem(options.handle, 1003);
    SetDlgItemTextA(options.handle, 1003, "");
    const std::string typed = "abcdefghijkl";
    std::string expected_field;
    for (char key : typed) {
        SendMessageA(field, WM_CHAR, static_cast<unsigned char>(key), 1);
        if (expected_field.size() < 10)
            expected_field += key;
        EXPECT_EQ(item_text(options.handle, 1003), expected_field);
        EXPECT_EQ(item_text(options.handle, 1013), example_for(expected_field.substr(0, 9)));
    }
    // OK keeps the first nine characters.
    click(options.handle, IDOK);
    EXPECT_STREQ(settings.suffix, "abcdefghi");
}

TEST_F(dialogs, tga_options_check_box_enables_the_field) {
    settings.mipmaps = 0;
    modeless_dialog options(120, tga_options_procedure);
    HWND field = GetDlgItem(options.handle, 1003);
    EXPECT_FALSE(IsWindowEnabled(field));
    click(options.handle, 1012);
    EXPECT_TRUE(checked(options.handle, 1012));
    EXPECT_TRUE(IsWindowEnabled(field));
    click(options.handle, 1012);
    EXPECT_FALSE(checked(options.handle, 1012));
    EXPECT_FALSE(IsWindowEnabled(field));
}

TEST_F(dialogs, tga_options_store_all_three_on_ok_only) {
    test_window owner(200, 100, 640, 480);
    for (const dialog_ending& ending : option_endings) {
        SCOPED_TRACE(ending.name);
        reset_routines_state();
        const settings_record before = settings;
        const INT_PTR result = run_dialog(120, tga_options_procedure, owner.handle,
                                          {[&](HWND d) {
                                               expect_centred_over(d, owner.handle);
                                               click(d, 1001);
                                               click(d, 1012);
                                               SetDlgItemTextA(d, 1003, "_level");
                                           },
                                           ending.finish});
        EXPECT_EQ(result, ending.result);
        if (ending.stored) {
            EXPECT_EQ(settings.bpp, 32);
            EXPECT_EQ(settings.mipmaps, 1);
            EXPECT_STREQ(settings.suffix, "_level");
        } else {
            EXPECT_TRUE(same_settings(settings, before));
        }
    }
}

TEST_F(dialogs, tga_options_ok_takes_the_suffix_of_a_disabled_field) {
    settings.bpp = 32;
    settings.mipmaps = 0;
    std::memcpy(settings.suffix, "ABCDEFGHIJ", 10); // stored without terminator
    modeless_dialog options(120, tga_options_procedure);
    EXPECT_EQ(item_text(options.handle, 1003), "ABCDEFGHIJ");
    EXPECT_EQ(item_text(options.handle, 1013), example_for("ABCDEFGHI"));
    click(options.handle, 1000);
    click(options.handle, IDOK);
    EXPECT_EQ(settings.bpp, 24);
    EXPECT_EQ(settings.mipmaps, 0);
    EXPECT_STREQ(settings.suffix, "ABCDEFGHI");

    SetDlgItemTextA(options.handle, 1003, "");
    click(options.handle, IDOK);
    EXPECT_STREQ(settings.suffix, "");
}

TEST(suffix_example, uses_at_most_nine_characters_and_never_overflows) {
    char text[64];
    format_suffix_example("_MM", text, sizeof text);
    EXPECT_STREQ(text, "(name_MM1.tga, name_MM2.tga, etc.)");
    format_suffix_example("", text, sizeof text);
    EXPECT_STREQ(text, "(name1.tga, name2.tga, etc.)");
    const char unterminated[10] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0'};
    format_suffix_example(unterminated, text, sizeof text);
    EXPECT_STREQ(text, "(name1234567891.tga, name1234567892.tga, etc.)");
    char small[12];
    format_suffix_example("_MM", small, sizeof small);
    EXPECT_STREQ(small, "(name_MM1.t");
}

// ---------------------------------------------------------------------------
// Image information

// Fills a fixed field; a text as long as the field leaves no terminator.
template <size_t size> void put_field(char (&field)[size], const char* text) {
    std::memcpy(field, text, std::min(std::strlen(text), size));
}

void set_info(const char* type, const char* resolution, int depth, int levels, int frames) {
    std::memset(&image_info, 0, sizeof image_info);
    put_field(image_info.type_name, type);
    put_field(image_info.resolution, resolution);
    image_info.color_depth = static_cast<uint8_t>(depth);
    image_info.mip_levels = static_cast<uint8_t>(levels);
    image_info.frames = static_cast<uint8_t>(frames);
}

void expect_info(HWND window, const char* type, const char* resolution, const char* depth,
                 const char* levels, const char* frames) {
    EXPECT_EQ(item_text(window, 1031), type);
    EXPECT_EQ(item_text(window, 1032), resolution);
    EXPECT_EQ(item_text(window, 1033), depth);
    EXPECT_EQ(item_text(window, 1034), levels);
    EXPECT_EQ(item_text(window, 1035), frames);
}

TEST_F(dialogs, info_window_shows_and_refreshes_the_five_values) {
    test_window owner(10, 10, 700, 500);
    set_info("TGA", "256x32", 24, 1, 1);
    HWND window = open_info_window(owner.handle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(info_window, window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner.handle);
    expect_centred_over(window, owner.handle);
    expect_info(window, "TGA", "256x32", "24", "1", "1");

    // A second request while it is open keeps the one window.
    EXPECT_EQ(open_info_window(owner.handle), window);

    set_info("KGF", "64x64", 16, 5, 1);
    refresh_info_window();
    expect_info(window, "KGF", "64x64", "16", "5", "1");

    set_info("KAF", "255x255", 16, 255, 44);
    SendMessageA(window, refresh_info_message, 0, 0);
    expect_info(window, "KAF", "255x255", "16", "255", "44");

    // Full fields without terminators are shown without reading past them.
    set_info("ABCD", "123456789012", 255, 0, 0);
    refresh_info_window();
    expect_info(window, "ABCD", "1234567890", "255", "0", "0");

    set_info("", "", 0, 0, 0);
    refresh_info_window();
    expect_info(window, "", "", "0", "0", "0");
}

TEST_F(dialogs, info_window_clears_the_handle_when_it_closes) {
    test_window owner(10, 10, 700, 500);
    const struct {
        const char* name;
        std::function<void(HWND)> close;
    } endings[] = {
        {"OK", [](HWND w) { click(w, IDOK); }},
        {"Cancel command", [](HWND w) { SendMessageA(w, WM_COMMAND, IDCANCEL, 0); }},
        {"close box", [](HWND w) { close_box(w); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        set_info("KGF", "8x8", 16, 1, 1);
        HWND window = open_info_window(owner.handle);
        ASSERT_NE(window, nullptr);
        ending.close(window);
        pump_messages();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(info_window, nullptr);

        // Opening again gives a new window with the current values.
        set_info("TGA", "2x3", 32, 1, 1);
        HWND again = open_info_window(owner.handle);
        ASSERT_NE(again, nullptr);
        expect_info(again, "TGA", "2x3", "32", "1", "1");
        DestroyWindow(again);
        EXPECT_EQ(info_window, nullptr);
    }
}

TEST_F(dialogs, info_window_goes_with_its_owner) {
    auto owner = std::make_unique<test_window>(10, 10, 300, 300);
    HWND window = open_info_window(owner->handle);
    ASSERT_NE(window, nullptr);
    owner.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(info_window, nullptr);
    SendMessageA(info_window, refresh_info_message, 0, 0); // no window: nothing happens
    refresh_info_window();
}

TEST_F(dialogs, info_window_ignores_other_commands) {
    HWND window = open_info_window(nullptr);
    SendMessageA(window, WM_COMMAND, 1031, 0);
    SendMessageA(window, WM_COMMAND, 999, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(info_window, window);
}

// ---------------------------------------------------------------------------
// About

struct shell_call {
    std::string operation, file, parameters, directory;
    bool has_directory;
    int show;
};

std::vector<shell_call> shell_calls;
std::vector<INT_PTR> shell_answers;

HINSTANCE WINAPI record_shell_call(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT show) {
    shell_calls.push_back({operation ? operation : "", file ? file : "",
                           parameters ? parameters : "", directory ? directory : "",
                           directory != nullptr, show});
    INT_PTR answer = 42; // started
    if (!shell_answers.empty()) {
        answer = shell_answers.front();
        shell_answers.erase(shell_answers.begin());
    }
    return reinterpret_cast<HINSTANCE>(answer);
}

// Records the programs started by name instead of starting them.
struct shell_recorder {
    explicit shell_recorder(std::vector<INT_PTR> answers) {
        shell_calls.clear();
        shell_answers = std::move(answers);
        previous = shell_execute;
        shell_execute = record_shell_call;
    }
    ~shell_recorder() { shell_execute = previous; }
    shell_execute_function previous;
};

TEST_F(dialogs, about_visit_tries_each_browser_and_reports_only_file_not_found) {
    const std::string address = KGF_WEB_ADDRESS;
    const std::string missing =
        "Can't find browser! Please load you browser and navigate to " + address + ".";
    const struct {
        std::vector<INT_PTR> answers;
        std::vector<std::string> programs;
        bool message;
    } cases[] = {
        {{2, 2}, {"iexplore.exe", "netscape.exe"}, true},
        {{42}, {"iexplore.exe"}, false},
        {{2, 33}, {"iexplore.exe", "netscape.exe"}, false},
        {{5}, {"iexplore.exe"}, false},                    // access denied: not file-not-found
        {{0}, {"iexplore.exe"}, false},                    // out of resources
        {{31}, {"iexplore.exe"}, false},                   // no association
        {{2, 3}, {"iexplore.exe", "netscape.exe"}, false}, // path not found
        {{2, 0}, {"iexplore.exe", "netscape.exe"}, false},
    };
    // One modal About box for every case: it stays open throughout.
    auto try_every_case = [&](HWND about) {
        for (const auto& test : cases) {
            SCOPED_TRACE(std::to_string(test.answers.front()));
            message_recorder messages;
            shell_recorder shell(test.answers);
            click(about, 1008);
            ASSERT_EQ(shell_calls.size(), test.programs.size());
            for (size_t index = 0; index < test.programs.size(); ++index) {
                EXPECT_EQ(shell_calls[index].file, test.programs[index]);
                EXPECT_EQ(shell_calls[index].parameters, address);
                EXPECT_FALSE(shell_calls[index].has_directory);
                EXPECT_EQ(shell_calls[index].show, SW_SHOWNORMAL);
            }
            if (test.message) {
                ASSERT_EQ(messages.messages().size(), 1u);
                EXPECT_EQ(messages.messages()[0].text, missing);
                EXPECT_EQ(messages.messages()[0].caption, "Browser not found");
                EXPECT_EQ(messages.messages()[0].style, message_ok | message_icon_error);
            } else {
                EXPECT_TRUE(messages.messages().empty());
            }
            EXPECT_TRUE(IsWindowVisible(about));
        }
    };
    const INT_PTR result =
        run_dialog(117, about_procedure, nullptr, {try_every_case, [](HWND d) { click(d, IDOK); }});
    EXPECT_EQ(result, IDOK);
}

TEST_F(dialogs, about_help_starts_the_editor_on_the_read_me_in_the_install_folder) {
    scratch_folder installed;
    write_file_bytes(installed.file("readme.txt"), {'h', 'i'});
    std::snprintf(settings.install_dir, sizeof settings.install_dir, "%s", installed.path.c_str());
    modeless_dialog about(117, about_procedure);
    for (INT_PTR answer : {INT_PTR{42}, INT_PTR{2}}) {
        message_recorder messages;
        shell_recorder shell({answer});
        click(about.handle, 1010);
        ASSERT_EQ(shell_calls.size(), 1u);
        EXPECT_EQ(shell_calls[0].file, "notepad.exe");
        EXPECT_EQ(shell_calls[0].parameters, "readme.txt");
        EXPECT_EQ(shell_calls[0].directory, installed.path);
        EXPECT_EQ(shell_calls[0].show, SW_SHOWNORMAL);
        EXPECT_TRUE(messages.messages().empty()); // the outcome is ignored
    }
}

TEST_F(dialogs, help_uses_an_install_folder_stored_without_terminator) {
    std::memset(settings.install_dir, 'D', sizeof settings.install_dir);
    message_recorder messages;
    shell_recorder shell({42});
    open_help_text(nullptr);
    // Read without running past the field; with no guide in either folder,
    // nothing is started and both are named.
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string program_folder = program;
    program_folder.resize(program_folder.find_last_of('\\'));
    EXPECT_TRUE(shell_calls.empty());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{
                                    "readme.txt was not found in " + program_folder + "\nnor in " +
                                    std::string(sizeof settings.install_dir, 'D')});
}

TEST_F(dialogs, about_closes_with_close_escape_and_the_close_box) {
    test_window owner(0, 0, 801, 600);
    const struct {
        const char* name;
        script_step finish;
        INT_PTR result;
    } endings[] = {
        {"Close", [](HWND d) { click(d, IDOK); }, IDOK},
        {"Escape", press_escape, IDCANCEL},
        {"close box", close_box, IDCANCEL},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        shell_recorder shell({});
        const settings_record before = settings;
        const INT_PTR result = run_dialog(117, about_procedure, owner.handle,
                                          {[&](HWND d) {
                                               expect_centred_over(d, owner.handle);
                                               SendMessageA(d, WM_COMMAND, 4321, 0);
                                           },
                                           ending.finish});
        EXPECT_EQ(result, ending.result);
        EXPECT_TRUE(shell_calls.empty());
        EXPECT_TRUE(same_settings(settings, before));
    }
}

} // namespace
