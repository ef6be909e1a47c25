#include "ui/batch_window.h"

#include "platform/message.h"
#include "resources/panel_ids.h"
#include "routines/batch.h"
#include "settings/settings.h"
#include "ui/panel.h"
#include "ui/ui.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>

#include <string>

std::vector<char> selection_buffer;

namespace {

constexpr const char* too_many_files = "You are trying to convert too many files at one time.";

constexpr DWORD dialog_flags =
    OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;

// The five filter pairs, each text ended by a terminator, a second one
// after the last pair: KAF, KGF, TGA and "All Files" in their old places,
// PNG after them.
std::string filter_pairs() {
    static const char* const patterns[format_count] = {"*.KAF", "*.KGF", "*.TGA", "*.PNG"};
    std::string filter;
    const auto add_type = [&](int i) {
        // An empty description would end the list early.
        const char* description =
            format_descriptions[i][0] != '\0' ? format_descriptions[i] : patterns[i];
        filter.append(description).push_back('\0');
        filter.append(patterns[i]).push_back('\0');
    };
    for (int i = 0; i < 3; ++i)
        add_type(i);
    filter.append("All Files (*.*)").push_back('\0');
    filter.append("*.*").push_back('\0');
    add_type(3);
    filter.push_back('\0');
    return filter;
}

struct progress_context {
    HWND window;
    HWND bar;
};

void file_done(void* context, int done, int count, const char* name, int ok) {
    const progress_context& progress = *static_cast<progress_context*>(context);
    SendMessageA(progress.bar, PBM_STEPIT, 0, 0);
    SetDlgItemTextA(progress.window, IDC_PROGRESS_FILE_LINE, name);
    pump_progress_messages(progress.window);
}

} // namespace

void pump_progress_messages(HWND progress) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the loop that owns it; the batch stops.
            PostQuitMessage(static_cast<int>(message.wParam));
            cancel_requested = true;
            return;
        }
        if (progress != nullptr && IsWindow(progress) && IsDialogMessageA(progress, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

INT_PTR CALLBACK progress_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        center_window(window, nullptr);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) != IDCANCEL)
            return FALSE;
        cancel_requested = true;
        // The window is modeless: it is hidden now and destroyed by the batch.
        ShowWindow(window, SW_HIDE);
        return TRUE;
    default:
        return FALSE;
    }
}

int run_batch() {
    selection_buffer.assign(selection_buffer_bytes, '\0');
    const std::string filter = filter_pairs();

    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = nullptr;
    request.hInstance = app_instance;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = settings.input_type + 1u;
    request.lpstrFile = selection_buffer.data();
    request.nMaxFile = static_cast<DWORD>(selection_buffer.size());
    request.lpstrInitialDir = settings.input_dir;
    request.lpstrTitle = "KGF Tool";
    request.Flags = dialog_flags;
    request.lpstrDefExt = "KGF";
    request.lpfnHook = panel_hook;
    request.lpTemplateName = MAKEINTRESOURCEA(IDD_PANEL);

    if (!GetOpenFileNameA(&request)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
            show_error(too_many_files);
            return 1;
        }
        return 0;
    }
    const size_t name_offset = request.nFileOffset;
    if (name_offset == 0 || name_offset >= selection_buffer.size())
        return 0;
    // Some file dialogs cut a list too long for the buffer instead of
    // reporting it; a cut list is refused the same way.
    if (!selection_fits(selection_buffer.data(), selection_buffer.size(), name_offset)) {
        show_error(too_many_files);
        return 1;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND progress = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                       progress_procedure, 0);
    HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);

    const int count =
        count_selection_names(selection_buffer.data(), selection_buffer.size(), name_offset);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, count));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    pump_progress_messages(progress);

    decide_input_type(static_cast<int>(request.nFilterIndex),
                      selection_buffer.data() + name_offset);
    const batch_action action = choose_action();
    batch_outcome outcome;
    if (action == batch_action::sorry || action == batch_action::unsupported) {
        show_action_message(action);
    } else {
        progress_context context = {progress, bar};
        outcome = convert_selection(action, selection_buffer.data(), selection_buffer.size(),
                                    name_offset, count, settings.output_dir, file_done, &context);
    }

    cancel_requested = false;
    if (progress != nullptr && IsWindow(progress))
        DestroyWindow(progress);
    // One word on what failed or was left; a clean batch ends silently.
    show_batch_status(outcome);
    return 1;
}
