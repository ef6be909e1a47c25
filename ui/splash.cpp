#include "resources/resource_ids.h"
#include "ui/ui.h"

INT_PTR CALLBACK splash_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        center_window(window, nullptr);
        SetTimer(window, splash_timer_id, splash_period_ms, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wparam != splash_timer_id)
            return FALSE;
        KillTimer(window, splash_timer_id);
        EndDialog(window, 1);
        return TRUE;
    default:
        // Escape and the close command arrive as IDCANCEL and are left
        // unhandled: the splash stays until its timer fires.
        return FALSE;
    }
}

void show_splash() {
    DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_SPLASH), nullptr, splash_procedure, 0);
}
