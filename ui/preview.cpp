#include "ui/preview.h"

#include "formats/kaf.h"
#include "resources/panel_ids.h"
#include "routines/image_info.h"
#include "ui/panel.h"
#include "ui/ui.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

bool animation_present() {
    return !panel_state.frame_sizes.empty();
}

bool is_animation() {
    return std::strcmp(image_info.type_name, "KAF") == 0 && animation_present();
}

void start_timer(UINT period) {
    if (panel_state.panel != nullptr)
        SetTimer(panel_state.panel, animation_timer, period, nullptr);
}

void kill_timer() {
    if (panel_state.panel != nullptr)
        KillTimer(panel_state.panel, animation_timer);
}

bool strictly_inside(const RECT& area, LPARAM point) {
    const int x = LOWORD(point);
    const int y = HIWORD(point);
    return area.left < x && x < area.right && area.top < y && y < area.bottom;
}

// Decodes the first level of frame k into the preview, bottom row first.
// Leaves the preview without pixels when the frame does not lie in the data.
void decode_frame(int32_t k) {
    panel_state_record& s = panel_state;
    if (k < 0 || static_cast<size_t>(k) >= s.frame_sizes.size())
        return;
    int64_t start = 0;
    for (int32_t i = 0; i < k; ++i)
        start += s.frame_sizes[static_cast<size_t>(i)];
    kaf_frame frame;
    locate_kaf_frame(s.frame_data, start, frame);
    if (!frame.has_header)
        return;
    // The runs are decoded up to the end of the data; a short level keeps
    // what was decoded.
    decode_kaf_frame(s.frame_data, frame, static_cast<int64_t>(s.frame_data.size()), s.preview,
                     row_order::bottom_first);
}

// The picture laid out as the display header describes it: rows padded to
// four bytes, a picture of another size placed at the top left and cut.
// Returns the preview's own pixels when they can be drawn directly, and
// nullptr when no copy can be made.
const uint8_t* drawable_pixels(std::vector<uint8_t>& canvas) {
    const image_buffer& image = panel_state.preview;
    const BITMAPINFOHEADER& header = panel_state.display_header;
    const int w = header.biWidth;
    const int h = header.biHeight;
    const int bytes_per_pixel = header.biBitCount / 8;
    const size_t source_row =
        static_cast<size_t>(std::max(0, int{image.width})) * static_cast<size_t>(bytes_per_pixel);
    const size_t target_row = static_cast<size_t>(dib_row_bytes(w, header.biBitCount));
    const int source_height = std::max(0, int{image.height});
    if (image.width == w && image.height == h && image.bpp == header.biBitCount &&
        source_row == target_row && image.data.size() >= target_row * static_cast<size_t>(h))
        return image.data.data();
    try {
        canvas.assign(target_row * static_cast<size_t>(h), 0);
    } catch (const std::exception&) {
        return nullptr; // too large to copy: nothing is drawn
    }
    const size_t copy = std::min(source_row, target_row);
    if (image.bpp != header.biBitCount || copy == 0)
        return canvas.data();
    for (int t = 0; t < std::min(h, source_height); ++t) {
        const size_t from = static_cast<size_t>(source_height - 1 - t) * source_row;
        const size_t to = static_cast<size_t>(h - 1 - t) * target_row;
        if (from + copy > image.data.size())
            continue;
        std::memcpy(canvas.data() + to, image.data.data() + from, copy);
    }
    return canvas.data();
}

} // namespace

void build_display_header() {
    const image_buffer& image = panel_state.preview;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = image.height;
    header.biPlanes = 1;
    header.biBitCount = image.bpp;
    header.biCompression = BI_RGB;
    panel_state.display_header = header;
}

int dib_row_bytes(int width, int bpp) {
    if (width <= 0 || bpp <= 0)
        return 0;
    return ((width * bpp + 31) / 32) * 4;
}

RECT preview_rectangle(HWND panel) {
    RECT area = {};
    HWND item = GetDlgItem(panel, IDC_PANEL_PREVIEW);
    if (item == nullptr)
        return area;
    GetWindowRect(item, &area);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void stop_animation() {
    kill_timer();
    panel_state.playing = false;
}

void release_preview() {
    stop_animation();
    // A step still pending would otherwise halt the next animation at once.
    panel_state.single_step = false;
    panel_state.preview_loaded = false;
    release_image_data(panel_state.preview);
    panel_state.frame_data = std::vector<uint8_t>();
    panel_state.frame_sizes = std::vector<int32_t>();
    panel_state.frame_names = std::vector<char>();
    panel_state.frame_count = 0;
    panel_state.frame_data_size = 0;
}

void accept_preview(preview_type type) {
    panel_state_record& s = panel_state;
    build_display_header();
    s.preview_loaded = true;
    if (type == preview_type::kaf) {
        start_timer(animation_period_ms);
        s.playing = true;
        s.frame_counter = 0;
    }
}

void update_image_info(highlight_outcome outcome, const image_info_record& described) {
    panel_state_record& s = panel_state;
    s.highlight_unreadable = outcome == highlight_outcome::unreadable;
    const bool shown = outcome == highlight_outcome::read && s.preview_loaded;
    image_info = shown ? described : image_info_record{};
    refresh_info_window();
}

void invalidate_preview(bool erase) {
    HWND panel = panel_state.panel;
    if (panel == nullptr)
        return;
    const RECT area = preview_rectangle(panel);
    InvalidateRect(panel, &area, erase ? TRUE : FALSE);
    UpdateWindow(panel);
}

void paint_panel(HWND panel) {
    PAINTSTRUCT paint;
    BeginPaint(panel, &paint);
    EndPaint(panel, &paint);
    const BITMAPINFOHEADER& header = panel_state.display_header;
    HWND area = GetDlgItem(panel, IDC_PANEL_PREVIEW);
    if (panel_state.preview.data.empty() || area == nullptr || header.biWidth <= 0 ||
        header.biHeight <= 0 ||
        (header.biBitCount != 16 && header.biBitCount != 24 && header.biBitCount != 32))
        return;
    // The area paints its own background first, so the picture stays on top.
    UpdateWindow(area);
    RECT client;
    GetClientRect(area, &client);
    const int w = header.biWidth;
    const int h = header.biHeight;
    int x = (client.right - w) / 2;
    int y = (client.bottom - h) / 2;
    if (x <= 0)
        x = 3;
    if (y <= 0)
        y = 3;
    const int shown_width = w < preview_max_size ? w : preview_max_size;
    const int shown_height = h < preview_max_size ? h : preview_max_size;
    std::vector<uint8_t> canvas;
    const uint8_t* pixels = drawable_pixels(canvas);
    if (pixels == nullptr)
        return;
    BITMAPINFO info = {};
    info.bmiHeader = header;
    HDC dc = GetDC(area);
    if (dc == nullptr)
        return;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, shown_width, shown_height, 0, 0, w, h, pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
    ReleaseDC(area, dc);
}

void animation_tick(HWND panel) {
    panel_state_record& s = panel_state;
    release_image_data(s.preview);
    bool resized = false;
    if (s.frame_count > 0 && animation_present()) {
        if (s.frame_counter < 0 || s.frame_counter >= s.frame_count)
            s.frame_counter = ((s.frame_counter % s.frame_count) + s.frame_count) % s.frame_count;
        decode_frame(s.frame_counter);
        // Frames may differ in size: each is drawn at its own, centred, and
        // one of another size than the last erases what that one covered.
        if (!s.preview.data.empty()) {
            const BITMAPINFOHEADER before = s.display_header;
            build_display_header();
            resized = before.biWidth != s.display_header.biWidth ||
                      before.biHeight != s.display_header.biHeight;
        }
    }
    if (s.single_step) {
        kill_timer();
        s.single_step = false;
    } else {
        ++s.frame_counter;
    }
    invalidate_preview(resized);
}

void preview_left_click(HWND panel, LPARAM point) {
    if (!strictly_inside(preview_rectangle(panel), point))
        return;
    if (is_animation() && !panel_state.playing) {
        start_timer(animation_period_ms);
        panel_state.playing = true;
        return;
    }
    stop_animation();
}

void preview_right_click(HWND panel, LPARAM point) {
    if (!strictly_inside(preview_rectangle(panel), point) || !is_animation() || panel_state.playing)
        return;
    start_timer(single_step_period_ms);
    ++panel_state.frame_counter;
    panel_state.single_step = true;
}
