#include "formats/text_fit.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// The suffix field takes 10 characters; only the first 9 are used.
constexpr int suffix_field_limit = 10;
constexpr size_t suffix_used = sizeof settings.suffix - 1;

bool is_checked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

// The suffix as typed, whole: a character may take up to four bytes.
std::string typed_suffix(HWND window) {
    char suffix[4 * suffix_field_limit + 1] = {};
    GetDlgItemTextA(window, IDC_SUFFIX, suffix, sizeof suffix);
    return suffix;
}

void show_suffix_example(HWND window) {
    const std::string suffix = typed_suffix(window);
    char example[64];
    format_suffix_example(suffix.c_str(), example, sizeof example);
    SetDlgItemTextA(window, IDC_SUFFIX_EXAMPLE, example);
}

void init_tga_options(HWND window) {
    center_window(window, GetWindow(window, GW_OWNER));
    SendDlgItemMessageA(window, IDC_SUFFIX, EM_LIMITTEXT, suffix_field_limit, 0);
    CheckRadioButton(window, IDC_BPP_24, IDC_BPP_32, settings.bpp == 24 ? IDC_BPP_24 : IDC_BPP_32);
    const bool all_levels = settings.mipmaps == 1;
    CheckDlgButton(window, IDC_ALL_MIPMAPS, all_levels ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(window, IDC_SUFFIX), all_levels);
    // The stored suffix may lack its terminator.
    const std::string suffix(settings.suffix, strnlen(settings.suffix, sizeof settings.suffix));
    SetDlgItemTextA(window, IDC_SUFFIX, suffix.c_str());
    // Setting the text normally raises EN_CHANGE; fill the line regardless.
    show_suffix_example(window);
}

void accept_tga_options(HWND window) {
    if (is_checked(window, IDC_BPP_24))
        settings.bpp = 24;
    else if (is_checked(window, IDC_BPP_32))
        settings.bpp = 32;
    // The first nine bytes, cut between characters.
    const std::string suffix = typed_suffix(window);
    std::memset(settings.suffix, 0, sizeof settings.suffix);
    std::memcpy(settings.suffix, suffix.data(), fitting_length(suffix, suffix_used));
    settings.mipmaps = is_checked(window, IDC_ALL_MIPMAPS) ? 1 : 0;
}

// "Best quality" stands for the three quality options together.
bool best_quality_stored() {
    return settings.dither == 1 && settings.srgb_mips == 1 && settings.alpha_mips == 1;
}

} // namespace

void format_suffix_example(const char* suffix, char* text, size_t size) {
    // A stored suffix may fill its ten bytes without a terminator.
    const std::string_view typed(suffix, strnlen(suffix, sizeof settings.suffix));
    const std::string used(typed.substr(0, fitting_length(typed, suffix_used)));
    std::snprintf(text, size, "(name%s1.tga, name%s2.tga, etc.)", used.c_str(), used.c_str());
}

INT_PTR CALLBACK kgf_options_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        center_window(window, GetWindow(window, GW_OWNER));
        CheckRadioButton(window, IDC_MIPMAPS_ONE, IDC_MIPMAPS_FIVE,
                         settings.num_mipmaps == 1 ? IDC_MIPMAPS_ONE : IDC_MIPMAPS_FIVE);
        CheckDlgButton(window, IDC_BEST_QUALITY,
                       best_quality_stored() ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    case WM_HELP:
        // The caption's help button has no help behind it; kept from the owner.
        return TRUE;
    case WM_COMMAND:
        if (!is_click(wparam))
            return TRUE;
        switch (LOWORD(wparam)) {
        case IDOK:
            if (is_checked(window, IDC_MIPMAPS_ONE))
                settings.num_mipmaps = 1;
            else if (is_checked(window, IDC_MIPMAPS_FIVE))
                settings.num_mipmaps = 5;
            // A box left as it opened keeps the options stored apart
            // (kgfconv settings can turn on one of the three).
            if (is_checked(window, IDC_BEST_QUALITY) != best_quality_stored()) {
                const uint8_t on = is_checked(window, IDC_BEST_QUALITY) ? 1 : 0;
                settings.dither = on;
                settings.srgb_mips = on;
                settings.alpha_mips = on;
            }
            EndDialog(window, IDOK);
            break;
        case IDCANCEL:
            EndDialog(window, IDCANCEL);
            break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK tga_options_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        init_tga_options(window);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_SUFFIX:
            if (HIWORD(wparam) == EN_CHANGE)
                show_suffix_example(window);
            break;
        case IDC_ALL_MIPMAPS:
            if (is_click(wparam))
                EnableWindow(GetDlgItem(window, IDC_SUFFIX), is_checked(window, IDC_ALL_MIPMAPS));
            break;
        case IDOK:
            if (is_click(wparam)) {
                accept_tga_options(window);
                EndDialog(window, IDOK);
            }
            break;
        case IDCANCEL:
            if (is_click(wparam))
                EndDialog(window, IDCANCEL);
            break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR show_kgf_options(HWND owner) {
    return DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_KGF_OPTIONS), owner,
                           kgf_options_procedure, 0);
}

INT_PTR show_tga_options(HWND owner) {
    return DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_TGA_OPTIONS), owner,
                           tga_options_procedure, 0);
}
