// One batch: the file dialog with its panel, then the conversion of the
// selection behind the progress window.
#pragma once

#include <windows.h>

#include <vector>

// The file dialog's result; kept until the next batch starts.
extern std::vector<char> selection_buffer;

// 0 when the dialog ended without a selection, 1 otherwise.
int run_batch();

// The progress window's procedure.
INT_PTR CALLBACK progress_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Dispatches the window messages waiting on this thread, keyboard input to
// the progress window included, so that it repaints and its Cancel works.
void pump_progress_messages(HWND progress);
