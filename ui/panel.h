// The output panel that the file dialog hosts below its own controls: its
// state, its event procedure and the folder rule it applies.
#pragma once

#include "formats/image_buffer.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int panel_text_bytes = 256;

struct panel_state_record {
    HWND open_dialog = nullptr; // the file dialog: owner of what the panel opens
    HWND panel = nullptr;       // the panel itself: owner of the animation timer
    char highlighted_name[panel_text_bytes] = {};
    // The folder and name last read, so that a repeated notification for
    // the same highlight reads nothing.
    std::string highlight_key;
    bool highlight_known = false;
    bool reading = false;           // a highlight is being read
    bool selection_pending = false; // another arrived meanwhile

    // The picture in the preview area, rows bottom first.
    image_buffer preview;
    BITMAPINFOHEADER display_header = {};
    bool read_ok = false;              // the most recent read succeeded
    bool preview_loaded = false;       // a file was read at the current highlight
    bool highlight_unreadable = false; // the highlighted file could not be read

    // Animation buffers as the KAF parser returns them.
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    int64_t frame_data_size = 0;

    // Playback.
    bool playing = false;
    int32_t frame_counter = 0;
    bool single_step = false;
};

extern panel_state_record panel_state;

// The hook procedure of the file dialog, installed with the panel template.
UINT_PTR CALLBACK panel_hook(HWND panel, UINT message, WPARAM wparam, LPARAM lparam);

enum class output_folder_outcome {
    stored,
    empty,    // a blank text is no folder
    too_long, // no room for the folder and its backslash in 255 bytes
};

// Stores a folder field's text, without the spaces around it, as the
// output folder, a trailing backslash added when missing. A text that is
// blank, or that would not fit whole with its backslash, is refused and the
// stored folder stays: a cut folder would send the files somewhere the user
// never typed.
output_folder_outcome store_output_folder(char (&folder)[panel_text_bytes], const char* typed);

// The messages that refuse "&Start" with an empty or too long output folder;
// the second shows the folder in place of its "%s".
extern const char* const empty_output_folder;
extern const char* const overlong_output_folder;
