#include "ui/panel.h"

#include "convert/convert.h"
#include "formats/status.h"
#include "platform/message.h"
#include "resources/panel_ids.h"
#include "routines/batch.h"
#include "routines/messages.h"
#include "routines/preview_read.h"
#include "settings/settings.h"
#include "ui/preview.h"
#include "ui/ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

panel_state_record panel_state;

const char* const empty_output_folder =
    "The output folder is empty. Enter the folder the converted files go to.";
const char* const overlong_output_folder =
    "The output folder is too long: %s\nEnter a shorter folder.";

namespace {

// The most characters of a refused folder that its message shows.
constexpr size_t overlong_folder_shown = 32;

// The next highlight is read whatever it is.
void forget_highlight() {
    panel_state.highlight_known = false;
    panel_state.highlight_key.clear();
}

// The file dialog's own items.
constexpr int file_name_field = edt1;       // 1152
constexpr int file_name_combo = cmb13;      // 1148: the name field of newer dialogs
constexpr int read_only_box = chx1;         // 1040
constexpr int dialog_help_button = pshHelp; // 1038

// The visible file-name field of the file dialog.
HWND name_field(HWND open_dialog) {
    HWND combo = GetDlgItem(open_dialog, file_name_combo);
    if (combo != nullptr && (GetWindowLongA(combo, GWL_STYLE) & WS_VISIBLE) != 0)
        return combo;
    return GetDlgItem(open_dialog, file_name_field);
}

void empty_name_field() {
    HWND field = name_field(panel_state.open_dialog);
    if (field != nullptr)
        SetWindowTextA(field, "");
}

// The text of the output-type list, empty when nothing is selected.
void read_output_type_text(HWND panel) {
    output_type_text[0] = '\0';
    const LRESULT position = SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_GETCURSEL, 0, 0);
    if (position == CB_ERR)
        return;
    const LRESULT length =
        SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_GETLBTEXTLEN, position, 0);
    if (length == CB_ERR || length >= description_bytes)
        return;
    SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_GETLBTEXT, position,
                        reinterpret_cast<LPARAM>(output_type_text));
}

// The folder field's text, longer than any folder that fits, so that a
// text too long is seen as such and never cut to one that fits.
std::string output_folder_text(HWND panel) {
    char text[4 * panel_text_bytes] = {};
    GetDlgItemTextA(panel, IDC_PANEL_OUTPUT_FOLDER, text, sizeof text);
    return text;
}

std::string window_text(HWND window) {
    const int length = window != nullptr ? GetWindowTextLengthA(window) : 0;
    if (length <= 0)
        return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    return text.data();
}

// The folder the file dialog shows, as it will join it to the names.
std::string shown_folder(HWND dialog) {
    char folder[1024] = {};
    const LRESULT length =
        SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
    if (length > 0 && static_cast<size_t>(length) <= sizeof folder)
        return folder;
    const DWORD current = GetCurrentDirectoryA(sizeof folder, folder);
    return current > 0 && current < sizeof folder ? folder : "";
}

// The first name of the file-name field whose full path would not fit, or
// an empty text. The field holds one name, or several in double quotes.
std::string overlong_selection(HWND dialog) {
    const std::string text = window_text(name_field(dialog));
    std::vector<std::string> names;
    if (text.find('"') == std::string::npos) {
        names.push_back(text);
    } else {
        size_t open = text.find('"');
        while (open != std::string::npos) {
            const size_t close = text.find('"', open + 1);
            names.push_back(
                text.substr(open + 1, close == std::string::npos ? close : close - open - 1));
            open = close == std::string::npos ? close : text.find('"', close + 1);
        }
    }
    const std::string folder = shown_folder(dialog);
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        const bool absolute = name[0] == '\\' || (name.size() > 1 && name[1] == ':');
        std::string path = absolute ? name : folder;
        if (!absolute) {
            if (!path.empty() && path.back() != '\\')
                path += '\\';
            path += name;
        }
        if (path.size() >= static_cast<size_t>(panel_text_bytes))
            return path;
    }
    return std::string();
}

// The file dialog's own window procedure, subclassed: a selection whose
// full path does not fit in 256 characters is refused before the dialog's
// OK handling sees it. That handling copies the path into fixed buffers of
// its own, and the batch could not open the file through the ANSI calls.
LRESULT CALLBACK file_dialog_guard(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR) {
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
        const std::string path = overlong_selection(dialog);
        if (!path.empty()) {
            report_status(kgf_status::path_too_long, path.c_str());
            return 0;
        }
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(dialog, file_dialog_guard, id);
    return DefSubclassProc(dialog, message, wparam, lparam);
}

constexpr UINT_PTR file_dialog_guard_id = 1;

void set_up(HWND panel) {
    release_image_data(panel_state.preview);
    panel_state.open_dialog = GetParent(panel);
    HWND dialog = panel_state.open_dialog;
    center_window(dialog, nullptr);
    SendMessageA(dialog, CDM_HIDECONTROL, read_only_box, 0);
    SendMessageA(dialog, CDM_HIDECONTROL, dialog_help_button, 0);
    SendMessageA(dialog, CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>("&Start"));
    SendMessageA(dialog, CDM_SETCONTROLTEXT, IDCANCEL, reinterpret_cast<LPARAM>("E&xit"));
    SetWindowSubclass(dialog, file_dialog_guard, file_dialog_guard_id, 0);
    forget_highlight();
    SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_RESETCONTENT, 0, 0);
    // The list sorts what it is given: KAF, KGF and TGA keep their places,
    // and PNG, which would sort before TGA, is put after them.
    for (int entry = 0; entry < 3; ++entry)
        SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(format_descriptions[entry]));
    SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(format_descriptions[3]));
    // A stored type outside the list leaves it without a selection.
    SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_SETCURSEL, settings.output_type, 0);
    read_output_type_text(panel);
    SetDlgItemTextA(panel, IDC_PANEL_OUTPUT_FOLDER, settings.output_dir);
}

void folder_changed() {
    empty_name_field();
    forget_highlight();
    char folder[panel_text_bytes] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    // A folder too long for the field keeps the previous one.
    if (length > 0 && length < sizeof folder)
        std::memcpy(settings.input_dir, folder, length + 1);
}

void type_changed(const OFNOTIFYA& notice) {
    empty_name_field();
    const DWORD index = notice.lpOFN != nullptr ? notice.lpOFN->nFilterIndex : 0;
    if (index >= 1 && index <= static_cast<DWORD>(png_filter))
        settings.input_type = static_cast<uint8_t>(index - 1);
    release_preview();
    forget_highlight();
    // Nothing is highlighted now: the information of the file before goes.
    update_image_info(highlight_outcome::not_read);
    invalidate_preview(true);
}

// Reads the highlighted file for the preview, by its exact ending. The file
// dialog reports one click more than once; a file that is already the one
// previewed is not read again, so its messages show once.
void read_highlight() {
    panel_state_record& s = panel_state;
    char text[panel_text_bytes] = {};
    HWND field = name_field(s.open_dialog);
    if (field != nullptr)
        GetWindowTextA(field, text, sizeof text);
    const std::string highlight = shown_folder(s.open_dialog) + '|' + text;
    if (s.highlight_known && highlight == s.highlight_key)
        return;
    s.highlight_key = highlight;
    s.highlight_known = true;
    std::memcpy(s.highlighted_name, text, sizeof text);
    release_preview();

    const char* name = s.highlighted_name;
    // Only the exact endings count, as the dialog's own filters do.
    const file_type file = type_from_ending(name, ending_case::exact);
    const bool tried = file != file_type::none;
    const preview_type type = file == file_type::kaf   ? preview_type::kaf
                              : file == file_type::kgf ? preview_type::kgf
                              : file == file_type::png ? preview_type::png
                                                       : preview_type::tga;
    file_description found;
    // A reader's message box hands the focus to whatever window comes
    // next when it closes: it goes back where it was, in the file list.
    HWND focus = GetFocus();
    const int ok = tried ? read_for_preview(name, file, found) : 0;
    if (focus != nullptr && IsWindow(focus) && GetFocus() != focus)
        SetFocus(focus);
    s.preview = std::move(found.picture);
    if (file == file_type::kaf) {
        kaf_animation& animation = found.animation;
        s.frame_data = std::move(animation.frame_data);
        s.frame_sizes = std::move(animation.frame_sizes);
        s.frame_names = std::move(animation.frame_names);
        s.frame_count = animation.frame_count;
        s.frame_data_size = static_cast<int64_t>(s.frame_data.size());
    }
    if (tried) {
        s.read_ok = ok != 0;
        if (s.read_ok)
            accept_preview(type);
        else
            release_preview();
    }
    update_image_info(tried ? (ok ? highlight_outcome::read : highlight_outcome::unreadable)
                            : highlight_outcome::not_read,
                      found.info);
    invalidate_preview(true);
}

// A read shows its messages in boxes whose loops deliver further
// notifications: those are taken up once the read is over, never inside it.
void selection_changed() {
    panel_state_record& s = panel_state;
    if (s.reading) {
        s.selection_pending = true;
        return;
    }
    s.reading = true;
    do {
        s.selection_pending = false;
        read_highlight();
    } while (s.selection_pending);
    s.reading = false;
}

// "&Start": an empty or too long output folder is refused, the dialog
// stays. Returns whether the selection is accepted.
bool accepted(HWND panel) {
    const std::string folder = output_folder_text(panel);
    switch (store_output_folder(settings.output_dir, folder.c_str())) {
    case output_folder_outcome::stored:
        break;
    case output_folder_outcome::empty:
        show_error(empty_output_folder);
        return false;
    case output_folder_outcome::too_long:
        // Shortened in the middle to what one line of the box holds, so
        // that the box never breaks the folder itself over lines.
        show_error_about(overlong_output_folder,
                         shorten_long_words(folder, overlong_folder_shown).c_str());
        return false;
    }
    stop_animation();
    read_output_type_text(panel);
    return true;
}

void destroyed(HWND panel) {
    store_output_folder(settings.output_dir, output_folder_text(panel).c_str());
    RemoveWindowSubclass(panel_state.open_dialog, file_dialog_guard, file_dialog_guard_id);
    forget_highlight();
    stop_animation();
    release_image_data(panel_state.preview);
    info_window = nullptr;
    panel_state.panel = nullptr;
    panel_state.open_dialog = nullptr;
}

void browse_for_folder(HWND panel) {
    BROWSEINFOA request = {};
    request.hwndOwner = panel;
    char path[MAX_PATH] = {};
    request.pszDisplayName = path;
    LPITEMIDLIST item = SHBrowseForFolderA(&request);
    if (item == nullptr)
        return; // cancelled: the typed folder stays
    char folder[MAX_PATH] = {};
    const BOOL has_path = SHGetPathFromIDListA(item, folder);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(item);
        allocator->Release();
    }
    if (has_path && folder[0] != '\0')
        SetDlgItemTextA(panel, IDC_PANEL_OUTPUT_FOLDER, folder);
}

void show_options() {
    HWND owner = panel_state.open_dialog;
    if (std::strcmp(output_type_text, format_descriptions[1]) == 0)
        show_kgf_options(owner);
    else if (std::strcmp(output_type_text, format_descriptions[2]) == 0 ||
             std::strcmp(output_type_text, format_descriptions[3]) == 0)
        show_tga_options(owner); // PNG output takes the TGA output's options
    else if (std::strcmp(output_type_text, format_descriptions[0]) == 0)
        show_message("Sorry, but you cannot create KAFs (animations) with this version.", "Sorry",
                     message_ok);
}

void command(HWND panel, int id, int code) {
    if (id == IDC_PANEL_OUTPUT_TYPE) {
        if (code == CBN_SELCHANGE) {
            const LRESULT position =
                SendDlgItemMessageA(panel, IDC_PANEL_OUTPUT_TYPE, CB_GETCURSEL, 0, 0);
            if (position != CB_ERR)
                settings.output_type = static_cast<uint8_t>(position);
            read_output_type_text(panel);
        }
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_PANEL_IMAGE_INFO:
        if (info_window == nullptr)
            open_info_window(panel_state.open_dialog);
        break;
    case IDC_PANEL_ABOUT:
        show_about(panel_state.open_dialog);
        break;
    case IDC_PANEL_BROWSE:
        browse_for_folder(panel);
        break;
    case IDC_PANEL_OPTIONS:
        show_options();
        break;
    case IDC_PANEL_HELP:
        open_help_text(panel_state.open_dialog);
        break;
    default:
        break;
    }
}

// Dialog notifications; every one but a refused acceptance is answered
// with "go on".
void notification(HWND panel, const NMHDR& header, LPARAM lparam) {
    const OFNOTIFYA& notice = *reinterpret_cast<const OFNOTIFYA*>(lparam);
    LONG_PTR result = 0;
    switch (header.code) {
    case CDN_INITDONE:
        set_up(panel);
        break;
    case CDN_FOLDERCHANGE:
        folder_changed();
        break;
    case CDN_TYPECHANGE:
        type_changed(notice);
        break;
    case CDN_SELCHANGE:
        selection_changed();
        break;
    case CDN_FILEOK:
        result = accepted(panel) ? 0 : 1;
        break;
    default:
        break;
    }
    SetWindowLongPtrA(panel, DWLP_MSGRESULT, result);
}

} // namespace

output_folder_outcome store_output_folder(char (&folder)[panel_text_bytes], const char* typed) {
    // Spaces around the text are no part of the folder: a name ending in
    // one is a folder that Explorer can neither open nor delete.
    const char* text = typed + std::strspn(typed, " \t");
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        --length;
    // A cleared field would make the folder the drive's root.
    if (length == 0)
        return output_folder_outcome::empty;
    const bool has_separator = text[length - 1] == '\\';
    if (length + (has_separator ? 0 : 1) >= static_cast<size_t>(panel_text_bytes))
        return output_folder_outcome::too_long;
    std::memcpy(folder, text, length);
    folder[length] = '\0';
    if (!has_separator) {
        folder[length] = '\\';
        folder[length + 1] = '\0';
    }
    return output_folder_outcome::stored;
}

UINT_PTR CALLBACK panel_hook(HWND panel, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        panel_state.panel = panel;
        return 1;
    case WM_NOTIFY:
        if (lparam == 0)
            return 0;
        notification(panel, *reinterpret_cast<const NMHDR*>(lparam), lparam);
        return 1;
    case WM_COMMAND:
        command(panel, LOWORD(wparam), HIWORD(wparam));
        return 1;
    case WM_DESTROY:
        destroyed(panel);
        return 0;
    case WM_PAINT:
        paint_panel(panel);
        return 1;
    case WM_TIMER:
        if (wparam == animation_timer)
            animation_tick(panel);
        return 1;
    case WM_LBUTTONDOWN:
        preview_left_click(panel, lparam);
        return 1;
    case WM_RBUTTONDOWN:
        preview_right_click(panel, lparam);
        return 1;
    case WM_CONTEXTMENU:
        return 1;
    default:
        return 0;
    }
}
