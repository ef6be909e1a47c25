// The preview of the highlighted file in the panel, its animation and the
// image information derived from it.
#pragma once

#include "convert/describe.h"

#include <windows.h>

enum class preview_type { tga, kgf, kaf, png };

constexpr UINT_PTR animation_timer = 1;
constexpr UINT animation_period_ms = 100;
constexpr UINT single_step_period_ms = 50;
constexpr int preview_max_size = 96;

// Stops the animation and releases the preview and animation buffers.
void release_preview();

// The display header from the preview's own size and depth.
void build_display_header();

// After a successful read of the given type: the display header; starts
// the animation of a KAF.
void accept_preview(preview_type type);

// What reading the highlighted file came to.
enum class highlight_outcome {
    read,       // the preview holds it
    unreadable, // a reader refused it
    not_read,   // no file of a known type: nothing was read
};

// Puts the highlighted file's description in image_info after a highlight
// change: described, the record describe_image made, once the preview holds
// the file; blank when unreadable or not read, never the file before. Then
// asks an open image-information window to show it.
void update_image_info(highlight_outcome outcome, const image_info_record& described = {});

// Marks the preview area for repainting and repaints the panel at once.
void invalidate_preview(bool erase);

// Stops the timer; the buffers stay.
void stop_animation();

// Event handlers of the panel.
void paint_panel(HWND panel);
void animation_tick(HWND panel);
void preview_left_click(HWND panel, LPARAM point);
void preview_right_click(HWND panel, LPARAM point);

// The rectangle of the preview area in panel coordinates.
RECT preview_rectangle(HWND panel);

// Row bytes of a device-independent bitmap: padded to a multiple of 4.
int dib_row_bytes(int width, int bpp);
