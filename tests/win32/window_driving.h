// Working the program's windows from outside their thread, as a user would:
// finding the file dialog, typing into its fields, choosing list entries and
// pressing its buttons. Used by the in-process batch tests and by the driver
// of the real program.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace window_driving {

constexpr DWORD step_timeout_ms = 30000;

// The running program's module, which holds its resources.
inline HINSTANCE module() {
    return GetModuleHandleA(nullptr);
}

// The programs run under the same system as their driver; a host path given
// on the command line is reached through drive Z:.
inline std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::string result = "Z:" + path;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

inline bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
}

// Delivers every message waiting for this thread's windows.
inline void pump_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Text of an item of a dialog of this process.
inline std::string item_text(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Text of a window of another process: WM_GETTEXT is carried across.
inline std::string window_text(HWND window) {
    char text[1024] = {};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &result))
        return std::string();
    return text;
}

inline void set_window_text(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

inline LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
}

inline std::string class_name(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The top-level dialogs of a process, with their captions.
inline std::vector<HWND> process_dialogs(DWORD process_id) {
    struct search {
        DWORD process_id;
        std::vector<HWND> found;
    } state = {process_id, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.process_id && IsWindowVisible(window) && class_name(window) == "#32770")
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&state));
    return state.found;
}

inline HWND find_dialog(DWORD process_id, const std::string& caption) {
    for (HWND window : process_dialogs(process_id))
        if (window_text(window) == caption)
            return window;
    return nullptr;
}

// A message box of the program, as "caption: text", or empty.
inline std::string shown_message(DWORD process_id) {
    for (HWND window : process_dialogs(process_id)) {
        const std::string caption = window_text(window);
        if (caption == "Error" || caption == "Sorry" || caption == "Status") {
            HWND text = GetDlgItem(window, 0xFFFF);
            return caption + ": " + (text != nullptr ? window_text(text) : std::string("?"));
        }
    }
    return std::string();
}

inline HWND find_descendant(HWND parent, int id, const std::string& kind) {
    struct search {
        int id;
        const std::string* kind;
        HWND found;
    } state = {id, &kind, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<search*>(context);
            if (GetDlgCtrlID(window) == s.id &&
                _stricmp(class_name(window).c_str(), s.kind->c_str()) == 0) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&state));
    return state.found;
}

// The file dialog once its panel has relabelled the OK button, or null.
// The progress window has the same caption.
inline HWND find_file_dialog(DWORD process_id) {
    for (HWND window : process_dialogs(process_id)) {
        HWND ok = GetDlgItem(window, IDOK);
        if (window_text(window) == "KGF Tool" && ok != nullptr && window_text(ok) == "&Start")
            return window;
    }
    return nullptr;
}

// The file dialog, other than previous; null after timeout_ms or when a
// message box shows instead.
inline HWND wait_for_file_dialog(DWORD process_id, HWND previous, DWORD timeout_ms) {
    HWND dialog = nullptr;
    wait_until(
        [&] {
            dialog = find_file_dialog(process_id);
            if (dialog == nullptr || dialog == previous)
                return !shown_message(process_id).empty();
            return true;
        },
        timeout_ms);
    if (dialog == previous)
        return nullptr;
    return dialog;
}

struct user_choices {
    std::string input_folder; // empty: the folder the dialog opened in
    int filter_position;      // 0 KAF, 1 KGF, 2 TGA, 3 all files, 4 PNG
    std::string names;        // as typed into the file-name field
    int output_position;      // 0 KAF, 1 KGF, 2 TGA, 3 PNG
    std::string output_field;
};

inline void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Enters the input folder, picks the filter, the output type and folder and
// types the names; "&Start" is left to the caller.
inline void fill_file_dialog(HWND dialog, const user_choices& choices) {
    HWND name_field = GetDlgItem(dialog, edt1);
    HWND filter_list = GetDlgItem(dialog, cmb1);
    ASSERT_NE(name_field, nullptr);
    ASSERT_NE(filter_list, nullptr);
    EXPECT_EQ(window_text(GetDlgItem(dialog, IDCANCEL)), "E&xit");

    // A folder typed as the name and confirmed is entered; the panel then
    // empties the name field.
    if (!choices.input_folder.empty()) {
        set_window_text(name_field, choices.input_folder);
        press(dialog, IDOK);
        ASSERT_TRUE(wait_until([&] { return window_text(name_field).empty(); }, step_timeout_ms))
            << "the input folder was not entered";
    }

    send(filter_list, CB_SETCURSEL, choices.filter_position, 0);
    send(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(filter_list));

    HWND type_list = find_descendant(dialog, 1002, "ComboBox");
    ASSERT_NE(type_list, nullptr) << "no output-type list";
    HWND panel = GetParent(type_list);
    HWND folder_field = find_descendant(panel, 1003, "Edit");
    ASSERT_NE(folder_field, nullptr) << "no output-folder field";
    EXPECT_EQ(send(type_list, CB_GETCOUNT, 0, 0), 4);

    send(type_list, CB_SETCURSEL, choices.output_position, 0);
    send(panel, WM_COMMAND, MAKEWPARAM(1002, CBN_SELCHANGE), reinterpret_cast<LPARAM>(type_list));
    set_window_text(folder_field, choices.output_field);
    set_window_text(name_field, choices.names);
}

// The magenta pixels of width x height pixels of source from origin, as
// drawn: left, top, width and height; all zero when there are none. The
// preview tests draw pictures with a magenta part to find it on screen.
inline RECT magenta_in(HDC source, POINT origin, int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, source, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    RECT found = {width, height, -1, -1};
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[y * width + x];
            if ((p >> 16 & 0xFF) >= 0xC0 && (p >> 8 & 0xFF) < 0x40 && (p & 0xFF) >= 0xC0)
                found = {std::min<LONG>(found.left, x), std::min<LONG>(found.top, y),
                         std::max<LONG>(found.right, x), std::max<LONG>(found.bottom, y)};
        }
    SelectObject(memory, previous);
    DeleteObject(copy);
    DeleteDC(memory);
    if (found.right < 0)
        return {};
    return {found.left, found.top, found.right - found.left + 1, found.bottom - found.top + 1};
}

} // namespace window_driving
