#include "ui/ui.h"

void center_window(HWND window, HWND reference) {
    RECT area{};
    if (reference == nullptr)
        reference = GetDesktopWindow();
    if (!GetWindowRect(reference, &area))
        return;
    RECT own{};
    if (!GetWindowRect(window, &own))
        return;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    // Each half is truncated on its own, as the placement has always been.
    const int x = area.left + (area.right - area.left) / 2 - width / 2;
    const int y = area.top + (area.bottom - area.top) / 2 - height / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
