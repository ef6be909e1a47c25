// Declarations shared by the dialogs of the program: the module instance,
// window placement, the small dialogs and the helpers that start other
// programs.
#pragma once

#include "resources/resource_ids.h"

#include <windows.h>

#include <cstddef>
#include <string>

// The program's module, for dialog templates and strings.
extern HINSTANCE app_instance;

// The open image-information window, or null.
extern HWND info_window;

// What the image-information window shows as the type of a highlighted
// file that could not be read; its other fields are then blank.
constexpr const char* unreadable_type_text = "Unreadable";

// Asks the image-information window to show image_info again.
constexpr UINT refresh_info_message = WM_APP + 1;

// A button's click (or Escape and the close box, which arrive as one);
// other notifications from the same ids are no command to act on.
inline bool is_click(WPARAM wparam) {
    return HIWORD(wparam) == BN_CLICKED;
}

// Moves a window, keeping its size, so that its centre lies over the centre
// of the reference window (the desktop when null). Nothing clamps it.
void center_window(HWND window, HWND reference);

// Loads string-table entries 1 to 3 into format_descriptions; an entry that
// cannot be loaded leaves its text empty.
void load_format_descriptions(HINSTANCE instance);

// Splash window (141): closes itself on timer 1 after splash_period_ms.
constexpr UINT_PTR splash_timer_id = 1;
constexpr UINT splash_period_ms = 2000;
INT_PTR CALLBACK splash_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the splash modally without owner; returns when it has closed.
void show_splash();

// Dialog procedures of the option dialogs (118, 120), the image-information
// window (130) and the About box (117).
INT_PTR CALLBACK kgf_options_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK tga_options_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK info_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK about_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Modal dialogs owned by owner; each returns the dialog's result.
INT_PTR show_kgf_options(HWND owner);
INT_PTR show_tga_options(HWND owner);
INT_PTR show_about(HWND owner);

// Opens the image-information window owned by owner and records it in
// info_window, unless one is open already. Returns info_window.
HWND open_info_window(HWND owner);

// Sends the refresh request to the image-information window, if open.
void refresh_info_window();

// The example line of the TGA options for a suffix (its first 9 characters).
void format_suffix_example(const char* suffix, char* text, size_t size);

// Starting other programs by name goes through this pointer (ShellExecuteA
// by default), so tests can record the calls instead.
using shell_execute_function = HINSTANCE(WINAPI*)(HWND owner, LPCSTR operation, LPCSTR file,
                                                  LPCSTR parameters, LPCSTR directory, INT show);
extern shell_execute_function shell_execute;

// The platform's file-not-found answer of ShellExecuteA.
constexpr INT_PTR shell_file_not_found = 2;

// The folder whose readme.txt the Help buttons open: the program's own
// folder when the guide is there, else install_dir when it holds one; empty
// when neither does.
std::string help_text_folder(const std::string& beside_program, const std::string& installed);

// The message when neither folder holds readme.txt; it names both.
std::string help_text_missing(const std::string& beside_program, const std::string& installed);

// Starts the text editor on readme.txt in the folder help_text_folder()
// finds for the running program and settings.install_dir, or says that
// there is none.
void open_help_text(HWND owner);

// Opens the project's web page with the first browser that can be started,
// or tells the user where to go when none can.
void visit_project_page(HWND owner);
