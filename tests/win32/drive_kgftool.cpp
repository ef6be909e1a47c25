// Drives the real kgftool.exe through its windows as a user would: enters
// the input folder in the file dialog, picks the filter, the files, the
// output type and folder, presses "&Start", then "E&xit". Checks the files
// written against those the conversion core writes from the same inputs, and
// the settings the program stored.
//
// Usage: drive_kgftool <path of kgftool.exe> [<path of kgfconv.exe>]
//        [GoogleTest options]
#include "convert/convert.h"
#include "formats/png.h"
#include "platform/message.h"
#include "routines/conversion.h"
#include "settings/settings.h"
#include "support/test_support.h"
#include "win32/registry_support.h"
#include "win32/window_driving.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace window_driving;

namespace {

std::string program_path;
std::string kgfconv_path; // for the scenarios that compare with the command line

const char* const tool_key = "Software\\KGF Tool";
constexpr DWORD start_timeout_ms = 90000;

// The program, ended by force if a test leaves it running.
struct program_run {
    PROCESS_INFORMATION process = {};
    ~program_run() {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    DWORD id() const { return process.dwProcessId; }
};

void start_program(program_run& run, const std::string& working_folder) {
    std::string command = "\"" + windows_path(program_path) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               working_folder.c_str(), &startup, &run.process))
        << "cannot start " << command;
}

// What the user does in the file dialog once it is filled, before "&Start".
using before_start = std::function<void(DWORD process_id, HWND dialog)>;

// One batch through the dialog, then "E&xit"; the program must end with 0.
void drive_program(const std::string& working_folder, const user_choices& choices,
                   const before_start& extra = nullptr) {
    program_run run;
    ASSERT_NO_FATAL_FAILURE(start_program(run, working_folder));

    HWND dialog = wait_for_file_dialog(run.id(), nullptr, start_timeout_ms);
    ASSERT_EQ(shown_message(run.id()), "");
    ASSERT_NE(dialog, nullptr) << "the file dialog did not appear";
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(dialog, choices));
    if (extra) {
        ASSERT_NO_FATAL_FAILURE(extra(run.id(), dialog));
    }

    press(dialog, IDOK);
    // The batch runs behind its progress window, then the dialog returns.
    HWND next = wait_for_file_dialog(run.id(), dialog, step_timeout_ms);
    ASSERT_EQ(shown_message(run.id()), "");
    ASSERT_NE(next, nullptr) << "the file dialog did not return after the batch";
    EXPECT_FALSE(IsWindow(dialog));

    press(next, IDCANCEL);
    ASSERT_EQ(WaitForSingleObject(run.process.hProcess, step_timeout_ms), WAIT_OBJECT_0)
        << "the program did not end after E&xit; " << shown_message(run.id());
    DWORD exit_code = 1;
    GetExitCodeProcess(run.process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
}

// An uncompressed true-colour TGA with a pattern of its own.
void write_tga(const std::string& path, int width, int height, int bpp, int seed) {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_u16(bytes, static_cast<unsigned>(width));
    put_u16(bytes, static_cast<unsigned>(height));
    bytes.push_back(static_cast<uint8_t>(bpp));
    bytes.push_back(bpp == 32 ? 8 : 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bytes.push_back(static_cast<uint8_t>(x * 29 + seed));
            bytes.push_back(static_cast<uint8_t>(y * 41 + seed * 3));
            bytes.push_back(static_cast<uint8_t>((x ^ y) * 17 + seed * 7));
            if (bpp == 32)
                bytes.push_back((x + y) % 3 == 0 ? 0 : 255);
        }
    write_file_bytes(path, bytes);
}

// A KAF made of the KGF files the core writes for the given TGA frames: a
// frame record has a KGF file's layout. count 127 forces the short header.
void write_kaf(const std::string& path, const std::string& frames_folder,
               const std::vector<std::string>& frame_names, bool short_header) {
    std::vector<uint8_t> bytes;
    const auto count = static_cast<uint8_t>(frame_names.size());
    if (short_header)
        bytes = {127, 0, count, 0, 0, 0, 0};
    else {
        bytes.assign(17, 0);
        bytes[0] = count;
    }
    current_folder_change here(frames_folder);
    for (size_t i = 0; i < frame_names.size(); ++i) {
        write_tga(frame_names[i] + ".tga", 8 + 8 * static_cast<int>(i), 8, 24,
                  static_cast<int>(i) + 5);
        char folder[path_bytes] = {};
        std::snprintf(folder, sizeof folder, "%s\\", frames_folder.c_str());
        char name[path_bytes] = {};
        std::snprintf(name, sizeof name, "%s.tga", frame_names[i].c_str());
        ASSERT_EQ(convert_tga_to_kgf(folder, name), 1);
        const std::vector<uint8_t> frame = read_file_bytes(frames_folder + "\\" + name);
        ASSERT_FALSE(frame.empty());
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    write_file_bytes(path, bytes);
}

using convert_routine = int (*)(char* folder, char* name);

// What the core writes for the same inputs with the default settings.
void write_reference(const std::string& input_folder, const std::string& reference_folder,
                     const std::vector<std::string>& names, convert_routine routine) {
    reset_routines_state();
    current_folder_change here(input_folder);
    for (const std::string& input : names) {
        char folder[path_bytes] = {};
        std::snprintf(folder, sizeof folder, "%s\\", reference_folder.c_str());
        char name[path_bytes] = {};
        std::snprintf(name, sizeof name, "%s", input.c_str());
        routine(folder, name);
    }
}

void expect_same_files(const std::string& output_folder, const std::string& reference_folder,
                       const std::vector<std::string>& expected) {
    EXPECT_EQ(list_folder(output_folder), expected);
    ASSERT_EQ(list_folder(reference_folder), expected);
    for (const std::string& name : expected) {
        const std::vector<uint8_t> written = read_file_bytes(output_folder + "\\" + name);
        const std::vector<uint8_t> reference = read_file_bytes(reference_folder + "\\" + name);
        EXPECT_FALSE(reference.empty()) << name;
        EXPECT_TRUE(written == reference)
            << name << " differs from the core's result (" << written.size() << " bytes, expected "
            << reference.size() << ")";
    }
}

std::string stored_text(const stored_value& value) {
    const auto* text = reinterpret_cast<const char*>(value.bytes.data());
    return std::string(text, strnlen(text, value.bytes.size()));
}

void expect_text(const std::string& key, const char* name, size_t size,
                 const std::string& expected) {
    const stored_value value = query(key, name);
    ASSERT_TRUE(value.found) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_EQ(value.bytes.size(), size) << name;
    EXPECT_EQ(_stricmp(stored_text(value).c_str(), expected.c_str()), 0)
        << name << " is " << stored_text(value) << ", expected " << expected;
}

void expect_byte(const std::string& key, const char* name, uint8_t expected) {
    const stored_value value = query(key, name);
    ASSERT_TRUE(value.found) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY)) << name;
    ASSERT_EQ(value.bytes.size(), 1u) << name;
    EXPECT_EQ(value.bytes[0], expected) << name;
}

// The values of a first run that changed only the folders and types.
void expect_stored_settings(const std::string& start, const std::string& input,
                            const std::string& output, uint8_t input_type, uint8_t output_type) {
    const std::string key = tool_key;
    expect_text(key, "install_dir", 256, start);
    expect_text(key, "input_dir", 256, input);
    expect_text(key, "output_dir", 256, output);
    expect_byte(key, "input_type", input_type);
    expect_byte(key, "output_type", output_type);
    expect_byte(key + "\\tga", "bpp", 24);
    expect_byte(key + "\\tga", "mipmaps", 0);
    expect_text(key + "\\tga", "suffix", 10, "_MM");
    expect_byte(key + "\\kgf", "num_mipmaps", 1);
    expect_byte(key + "\\kgf", "dither", 0);
    expect_byte(key + "\\kgf", "srgb_mips", 0);
    expect_byte(key + "\\kgf", "alpha_mips", 0);
}

// Folders of one run: the program starts in start, reads input, writes out.
struct run_folders {
    scratch_folder root;
    std::string start = root.file("start");
    std::string input = root.file("input");
    std::string output = root.file("out");
    std::string reference = root.file("reference");
    std::string frames = root.file("frames");
    run_folders() {
        for (const std::string* folder : {&start, &input, &reference, &frames})
            fs::create_directory(*folder);
        RegDeleteTreeA(HKEY_CURRENT_USER, tool_key);
    }
    ~run_folders() { RegDeleteTreeA(HKEY_CURRENT_USER, tool_key); }
};

class program : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(program_path.empty()) << "no program given";
        reset_routines_state();
    }
    message_recorder messages;
};

TEST_F(program, tga_to_kgf) {
    run_folders folders;
    write_tga(folders.input + "\\a.tga", 8, 6, 24, 1);
    write_tga(folders.input + "\\b.tga", 16, 16, 32, 2);
    write_tga(folders.input + "\\c.tga", 4, 4, 24, 3); // not selected
    write_reference(folders.input, folders.reference, {"a.tga", "b.tga"}, convert_tga_to_kgf);
    ASSERT_EQ(messages.texts(), std::vector<std::string>());

    // The output folder is typed without its separator and does not exist.
    ASSERT_NO_FATAL_FAILURE(
        drive_program(folders.start, {folders.input, 2, "\"a.tga\" \"b.tga\"", 1, folders.output}));

    expect_same_files(folders.output, folders.reference, {"a.kgf", "b.kgf"});
    expect_stored_settings(folders.start, folders.input, folders.output + "\\", 2, 1);
}

TEST_F(program, kaf_to_tga) {
    run_folders folders;
    ASSERT_NO_FATAL_FAILURE(
        write_kaf(folders.input + "\\a.kaf", folders.frames, {"x0", "x1"}, false));
    ASSERT_NO_FATAL_FAILURE(
        write_kaf(folders.input + "\\b.kaf", folders.frames, {"y0", "y1", "y2"}, true));
    write_reference(folders.input, folders.reference, {"a.kaf", "b.kaf"}, convert_kaf_to_tga);
    ASSERT_EQ(messages.texts(), std::vector<std::string>());

    ASSERT_NO_FATAL_FAILURE(drive_program(
        folders.start, {folders.input, 0, "\"a.kaf\" \"b.kaf\"", 2, folders.output + "\\"}));

    expect_same_files(folders.output, folders.reference,
                      {"x0.tga", "x1.tga", "y0.tga", "y1.tga", "y2.tga"});
    expect_stored_settings(folders.start, folders.input, folders.output + "\\", 0, 2);
}

// Folder and file names in Cyrillic and CJK, which no ANSI code page spells
// together: the dialog enters the folder, converts the file under its own
// name, and the registry keeps both folders as typed.
TEST_F(program, names_in_every_language) {
    run_folders folders;
    const std::string input = folders.root.file("Текстуры");
    const std::string output = folders.root.file("Выход木");
    ASSERT_TRUE(CreateDirectoryA(input.c_str(), nullptr));
    write_tga(input + "\\木の壁.tga", 8, 6, 24, 1);
    write_reference(input, folders.reference, {"木の壁.tga"}, convert_tga_to_kgf);
    ASSERT_EQ(messages.texts(), std::vector<std::string>());

    ASSERT_NO_FATAL_FAILURE(drive_program(folders.start, {input, 2, "\"木の壁.tga\"", 1, output}));

    const std::vector<uint8_t> written = read_file_bytes(output + "\\木の壁.kgf");
    EXPECT_FALSE(written.empty()) << "no 木の壁.kgf in the output folder";
    EXPECT_TRUE(written == read_file_bytes(folders.reference + "\\木の壁.kgf"));
    expect_stored_settings(folders.start, input, output + "\\", 2, 1);
}

// A 64 x 64 picture, magenta (a colour no dialog background has) in its top
// left quarter and black elsewhere.
void write_magenta_quarter_tga(const std::string& path) {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 24, 0};
    for (int row = 0; row < 64; ++row) // bottom row first
        for (int x = 0; x < 64; ++x) {
            const uint8_t level = x < 32 && row >= 32 ? 0xFF : 0;
            bytes.insert(bytes.end(), {level, 0, level});
        }
    write_file_bytes(path, bytes);
}

// The magenta pixels of a window of the program as drawn on the screen:
// left, top, width and height; all zero when there are none.
RECT magenta_in(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    const RECT found = window_driving::magenta_in(screen, origin, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    return found;
}

// What the image information must show of the highlighted file.
struct looked_at {
    std::string name, type, depth;
};

// The user highlights the only file the dialog lists and opens the image
// information: the name comes from the listing, the picture (the magenta
// quarter) is drawn in the preview and described.
void highlight_and_look(DWORD process_id, HWND dialog, const looked_at& expected) {
    HWND list = find_descendant(dialog, 1, "SysListView32");
    ASSERT_NE(list, nullptr) << "no file list";
    ASSERT_TRUE(
        wait_until([&] { return send(list, LVM_GETITEMCOUNT, 0, 0) == 1; }, step_timeout_ms))
        << "the dialog does not list the one file";
    PostMessageA(list, WM_KEYDOWN, VK_HOME, 0);
    HWND name_field = GetDlgItem(dialog, edt1);
    ASSERT_TRUE(
        wait_until([&] { return window_text(name_field) == expected.name; }, step_timeout_ms))
        << "the name field shows " << window_text(name_field);

    // The picture at its own size, inside the area whatever the font makes
    // of the area's dialog units: its top left quarter is 32 x 32 pixels.
    // Read before the image information opens over it.
    HWND type_list = find_descendant(dialog, 1002, "ComboBox");
    ASSERT_NE(type_list, nullptr);
    HWND panel = GetParent(type_list);
    HWND area = GetDlgItem(panel, 1016);
    ASSERT_NE(area, nullptr);
    RECT drawn = {};
    EXPECT_TRUE(wait_until(
        [&] {
            drawn = magenta_in(area);
            return drawn.right == 32 && drawn.bottom == 32;
        },
        step_timeout_ms))
        << "the preview shows " << drawn.right << " x " << drawn.bottom << " magenta pixels";

    press(panel, 1004);
    HWND info = nullptr;
    ASSERT_TRUE(wait_until([&] { return (info = find_dialog(process_id, "Image Information")); },
                           step_timeout_ms))
        << "the image information did not open; " << shown_message(process_id);
    EXPECT_TRUE(wait_until([&] { return window_text(GetDlgItem(info, 1031)) == expected.type; },
                           step_timeout_ms));
    EXPECT_EQ(window_text(GetDlgItem(info, 1032)), "64x64");
    EXPECT_EQ(window_text(GetDlgItem(info, 1033)), expected.depth);

    press(info, IDOK);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(info); }, step_timeout_ms));
}

// "&Options..." for KGF output, "Five" and "Best quality", then OK.
void choose_best_quality(DWORD process_id, HWND dialog) {
    HWND type_list = find_descendant(dialog, 1002, "ComboBox");
    ASSERT_NE(type_list, nullptr);
    press(GetParent(type_list), 1008);
    HWND options = nullptr;
    ASSERT_TRUE(wait_until([&] { return (options = find_dialog(process_id, "KGF Options")); },
                           step_timeout_ms))
        << "the KGF options did not open; " << shown_message(process_id);
    send(GetDlgItem(options, 1001), BM_CLICK, 0, 0);
    send(GetDlgItem(options, 1002), BM_CLICK, 0, 0);
    EXPECT_EQ(send(GetDlgItem(options, 1002), BM_GETCHECK, 0, 0), BST_CHECKED);
    press(options, IDOK);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(options); }, step_timeout_ms));
}

// The file dialog lists a CJK name in a Cyrillic folder, previews and
// describes it when it is highlighted, and converts it.
TEST_F(program, preview_in_every_language) {
    run_folders folders;
    const std::string input = folders.root.file("Текстуры");
    ASSERT_TRUE(CreateDirectoryA(input.c_str(), nullptr));
    write_magenta_quarter_tga(input + "\\木の壁.tga");

    ASSERT_NO_FATAL_FAILURE(drive_program(
        folders.start, {input, 2, "", 1, folders.output}, [](DWORD process_id, HWND dialog) {
            highlight_and_look(process_id, dialog, {"木の壁.tga", "TGA", "24"});
        }));

    EXPECT_EQ(list_folder(folders.output), std::vector<std::string>{"木の壁.kgf"});
}

// The magenta quarter as an 8-bit RGB PNG.
void write_magenta_quarter_png(const std::string& path) {
    image_buffer picture;
    init_image_buffer(picture, 24);
    picture.width = picture.height = 64;
    allocate_image_data(picture, mip_chain_bytes(picture));
    for (int y = 0; y < 32; ++y) // top row first
        for (int x = 0; x < 32; ++x) {
            picture.data[static_cast<size_t>((y * 64 + x) * 3)] = 0xFF;
            picture.data[static_cast<size_t>((y * 64 + x) * 3 + 2)] = 0xFF;
        }
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encode_png(bytes, picture, 0), kgf_status::ok);
    write_file_bytes(path, bytes);
}

// The PNG filter (the fifth, after "All Files") lists a PNG, which is
// previewed and described as a PNG and converts to the KGF its TGA twin
// gives; the PNG filter is stored.
TEST_F(program, png_previewed_and_converted) {
    run_folders folders;
    write_magenta_quarter_png(folders.input + "\\wall.png");
    write_magenta_quarter_tga(folders.frames + "\\wall.tga");
    write_reference(folders.frames, folders.reference, {"wall.tga"}, convert_tga_to_kgf);
    ASSERT_EQ(messages.texts(), std::vector<std::string>());

    ASSERT_NO_FATAL_FAILURE(
        drive_program(folders.start, {folders.input, 4, "", 1, folders.output},
                      [](DWORD process_id, HWND dialog) {
                          highlight_and_look(process_id, dialog, {"wall.png", "PNG", "24"});
                      }));

    expect_same_files(folders.output, folders.reference, {"wall.kgf"});
    expect_stored_settings(folders.start, folders.input, folders.output + "\\", 4, 1);
}

// PNG output, the fourth output type: its "&Options..." are the TGA
// options, whose depth the written file takes; the type is stored.
TEST_F(program, kgf_to_png_with_the_tga_options) {
    run_folders folders;
    write_tga(folders.frames + "\\a.tga", 8, 6, 32, 4);
    write_reference(folders.frames, folders.input, {"a.tga"}, convert_tga_to_kgf);
    ASSERT_EQ(messages.texts(), std::vector<std::string>());

    ASSERT_NO_FATAL_FAILURE(drive_program(
        folders.start, {folders.input, 1, "\"a.kgf\"", 3, folders.output},
        [](DWORD process_id, HWND dialog) {
            HWND type_list = find_descendant(dialog, 1002, "ComboBox");
            ASSERT_NE(type_list, nullptr);
            EXPECT_EQ(window_text(type_list), "Portable Network Graphics (*.png)");
            press(GetParent(type_list), 1008);
            HWND options = nullptr;
            ASSERT_TRUE(
                wait_until([&] { return (options = find_dialog(process_id, "TGA Options")); },
                           step_timeout_ms))
                << "the TGA options did not open; " << shown_message(process_id);
            send(GetDlgItem(options, 1001), BM_CLICK, 0, 0); // 32-bit
            press(options, IDOK);
            ASSERT_TRUE(wait_until([&] { return !IsWindow(options); }, step_timeout_ms));
        }));

    ASSERT_EQ(list_folder(folders.output), std::vector<std::string>{"a.png"});
    const std::vector<uint8_t> written = read_file_bytes(folders.output + "\\a.png");
    ASSERT_GT(written.size(), 26u);
    EXPECT_EQ(written[25], 6) << "not RGBA";
    expect_byte(tool_key, "output_type", 3);
    expect_byte(std::string(tool_key) + "\\tga", "bpp", 32);
}

// The message boxes of a batch, as "caption: text", each answered with OK,
// until the file dialog is back (or the program shows nothing more).
std::vector<std::string> answer_boxes(DWORD process_id, HWND dialog, HWND& next) {
    std::vector<std::string> shown;
    next = nullptr;
    for (int round = 0; round < 20; ++round) {
        std::string text;
        wait_until(
            [&] {
                text = shown_message(process_id);
                next = find_file_dialog(process_id);
                return !text.empty() || (next != nullptr && next != dialog);
            },
            step_timeout_ms);
        if (text.empty())
            break;
        shown.push_back(text);
        for (HWND box : process_dialogs(process_id)) {
            const std::string caption = window_text(box);
            if (caption == "Error" || caption == "Status")
                PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        wait_until([&] { return shown_message(process_id) != text; }, step_timeout_ms);
    }
    return shown;
}

// A careless batch: an output folder three levels deep and typed with a
// space after it, a file cut short and a name that is not there. Each
// failure is one box naming its file, then one "Status" box counts them,
// and the good file is converted into the folder made with its parents.
TEST_F(program, tells_what_happened_to_every_file) {
    run_folders folders;
    write_file_bytes(folders.input + "\\cut.tga", {0, 0, 2, 0});
    write_tga(folders.input + "\\good.tga", 8, 6, 24, 1);
    const std::string deep = folders.output + "\\new\\deep\\er";
    program_run run;
    ASSERT_NO_FATAL_FAILURE(start_program(run, folders.start));
    HWND dialog = wait_for_file_dialog(run.id(), nullptr, start_timeout_ms);
    ASSERT_NE(dialog, nullptr) << "the file dialog did not appear";
    ASSERT_NO_FATAL_FAILURE(fill_file_dialog(
        dialog, {folders.input, 2, "\"cut.tga\" \"good.tga\" \"nosuch.tga\"", 1, deep + " "}));
    press(dialog, IDOK);
    HWND next = nullptr;
    const std::vector<std::string> shown = answer_boxes(run.id(), dialog, next);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "Error: cut.tga\nFile is missing some data; do not use");
    EXPECT_EQ(shown[1].rfind("Error: Cannot open nosuch.tga: ", 0), 0u) << shown[1];
    EXPECT_EQ(shown[2], "Status: 1 of 3 files converted.\n2 failed: cut.tga, nosuch.tga");
    ASSERT_NE(next, nullptr) << "the file dialog did not return after the batch";
    EXPECT_EQ(list_folder(deep), std::vector<std::string>{"good.kgf"});
    press(next, IDCANCEL);
    ASSERT_EQ(WaitForSingleObject(run.process.hProcess, step_timeout_ms), WAIT_OBJECT_0);
    expect_text(tool_key, "output_dir", 256, deep + "\\");
}

// Runs kgfconv.exe with the arguments; true when it exits 0.
bool run_kgfconv(const std::vector<std::string>& arguments) {
    std::string command = "\"" + windows_path(kgfconv_path) + "\"";
    for (const std::string& argument : arguments)
        command += " \"" + argument + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return false;
    DWORD exit_code = 1;
    if (WaitForSingleObject(process.hProcess, step_timeout_ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exit_code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exit_code == 0;
}

// The "Best quality" box: stored as the three options, and the program
// writes what kgfconv convert --best writes.
TEST_F(program, best_quality) {
    if (kgfconv_path.empty())
        GTEST_SKIP() << "no kgfconv given";
    run_folders folders;
    write_tga(folders.input + "\\a.tga", 32, 32, 32, 1);
    write_tga(folders.input + "\\b.tga", 16, 8, 24, 2);
    ASSERT_TRUE(
        run_kgfconv({"convert", "--to", "kgf", "--levels", "5", "--best", "--quiet", "-o",
                     folders.reference, folders.input + "\\a.tga", folders.input + "\\b.tga"}));
    RegDeleteTreeA(HKEY_CURRENT_USER, tool_key); // kgfconv stores nothing, to be sure

    ASSERT_NO_FATAL_FAILURE(
        drive_program(folders.start, {folders.input, 2, "\"a.tga\" \"b.tga\"", 1, folders.output},
                      choose_best_quality));

    expect_same_files(folders.output, folders.reference, {"a.kgf", "b.kgf"});
    const std::string kgf_key = std::string(tool_key) + "\\kgf";
    expect_byte(kgf_key, "num_mipmaps", 5);
    expect_byte(kgf_key, "dither", 1);
    expect_byte(kgf_key, "srgb_mips", 1);
    expect_byte(kgf_key, "alpha_mips", 1);
}

// Run by input_folder.sh after tools/set-input-folder stored the folder
// KGF_INPUT_FOLDER names: the dialog opens there, so a bare name typed at
// once is found in it.
TEST_F(program, opens_in_the_stored_input_folder) {
    const char* stored = std::getenv("KGF_INPUT_FOLDER");
    if (stored == nullptr)
        GTEST_SKIP() << "KGF_INPUT_FOLDER is not set";
    const std::string input = windows_path(stored);
    ASSERT_NO_FATAL_FAILURE(expect_text(tool_key, "input_dir", 256, input));
    scratch_folder root;
    write_tga(input + "\\a.tga", 8, 8, 24, 4);

    ASSERT_NO_FATAL_FAILURE(drive_program(root.path, {"", 2, "a.tga", 1, root.file("out")}));

    EXPECT_EQ(list_folder(root.file("out")), std::vector<std::string>{"a.kgf"});
    expect_text(tool_key, "input_dir", 256, input);
    RegDeleteTreeA(HKEY_CURRENT_USER, tool_key);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        program_path = argv[1];
    if (argc > 2)
        kgfconv_path = argv[2];
    return RUN_ALL_TESTS();
}
