#include "resources/resource_ids.h"
#include "routines/image_info.h"
#include "ui/panel.h"
#include "ui/ui.h"

#include <cstring>
#include <string>

HWND info_window = nullptr;

namespace {

// The record's texts are fixed fields; a full one has no terminator.
template <size_t size> std::string field_text(const char (&field)[size]) {
    return std::string(field, strnlen(field, size));
}

void fill_info(HWND window) {
    if (panel_state.highlight_unreadable) {
        // Blank fields, and the word that says why.
        SetDlgItemTextA(window, IDC_INFO_TYPE, unreadable_type_text);
        for (int id : {IDC_INFO_RESOLUTION, IDC_INFO_COLOR_DEPTH, IDC_INFO_MIPMAPS, IDC_INFO_FRAMES,
                       IDC_INFO_NOTE})
            SetDlgItemTextA(window, id, "");
        return;
    }
    SetDlgItemTextA(window, IDC_INFO_TYPE, field_text(image_info.type_name).c_str());
    SetDlgItemTextA(window, IDC_INFO_RESOLUTION, field_text(image_info.resolution).c_str());
    SetDlgItemInt(window, IDC_INFO_COLOR_DEPTH, image_info.color_depth, FALSE);
    SetDlgItemInt(window, IDC_INFO_MIPMAPS, image_info.mip_levels, FALSE);
    SetDlgItemInt(window, IDC_INFO_FRAMES, image_info.frames, FALSE);
    const std::string note =
        image_info.sizes_differ ? std::string("Note: ") + sizes_differ_note : "";
    SetDlgItemTextA(window, IDC_INFO_NOTE, note.c_str());
}

} // namespace

INT_PTR CALLBACK info_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        center_window(window, GetWindow(window, GW_OWNER));
        fill_info(window);
        return TRUE;
    case refresh_info_message:
        fill_info(window);
        return TRUE;
    case WM_COMMAND:
        if (is_click(wparam) && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
            if (info_window == window)
                info_window = nullptr;
            DestroyWindow(window);
        }
        return TRUE;
    case WM_DESTROY:
        // Also destroyed with its owner: never leave a stale handle behind.
        if (info_window == window)
            info_window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

HWND open_info_window(HWND owner) {
    if (info_window != nullptr && IsWindow(info_window))
        return info_window;
    info_window = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_IMAGE_INFO), owner,
                                     info_procedure, 0);
    if (info_window != nullptr)
        ShowWindow(info_window, SW_SHOW);
    return info_window;
}

void refresh_info_window() {
    if (info_window != nullptr)
        SendMessageA(info_window, refresh_info_message, 0, 0);
}
