#include "platform/message.h"
#include "resources/about_text.h"
#include "resources/resource_ids.h"
#include "ui/ui.h"

#include <string>

namespace {

INT_PTR start_browser(HWND owner, const char* program) {
    return reinterpret_cast<INT_PTR>(
        shell_execute(owner, nullptr, program, KGF_WEB_ADDRESS, nullptr, SW_SHOWNORMAL));
}

} // namespace

void visit_project_page(HWND owner) {
    if (start_browser(owner, "iexplore.exe") != shell_file_not_found)
        return;
    if (start_browser(owner, "netscape.exe") != shell_file_not_found)
        return;
    const std::string text =
        std::string("Can't find browser! Please load you browser and navigate to ") +
        KGF_WEB_ADDRESS + ".";
    show_message(text.c_str(), "Browser not found", message_ok | message_icon_error);
}

INT_PTR CALLBACK about_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        center_window(window, GetWindow(window, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (!is_click(wparam))
            return TRUE;
        switch (LOWORD(wparam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(window, LOWORD(wparam));
            break;
        case IDC_VISIT:
            visit_project_page(window);
            break;
        case IDC_ABOUT_HELP:
            open_help_text(window);
            break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR show_about(HWND owner) {
    return DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, about_procedure, 0);
}
