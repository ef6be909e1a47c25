// kgfconv in a Windows console. Its names are in the program's code page,
// UTF-8 where Windows allows it: the console shows them in that code page
// while kgfconv runs, and gets its own back at the end. Started from
// Explorer, with no console of its caller, kgfconv says what it is and
// waits for a key before its window closes.
#include "cli/kgfconv_console.h"

#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

UINT console_own_code_page = 0; // to put back; 0 while nothing was changed

void restore_console_code_page() {
    if (console_own_code_page != 0)
        SetConsoleOutputCP(console_own_code_page);
}

// Ctrl+C, Ctrl+Break or the window closed: the console gets its code page
// back before the default handler ends the program.
BOOL WINAPI on_console_event(DWORD) {
    restore_console_code_page();
    return FALSE;
}

const char started_alone_text[] =
    "kgfconv is the command-line converter of KGF Tool. It runs in a console\n"
    "(Command Prompt or PowerShell), with a command and file names, such as\n"
    "\n"
    "    kgfconv convert --to tga wall.kgf\n"
    "\n"
    "To pick files in a window and convert them, start kgftool.exe instead.\n"
    "readme.txt, in this folder, explains both.\n"
    "\n"
    "Press any key to close this window.\n";

} // namespace

void use_program_code_page_in_console() {
    const UINT own = GetConsoleOutputCP();
    if (own == 0 || GetACP() != CP_UTF8 || own == CP_UTF8)
        return; // no console, no UTF-8 code page (older Windows), or nothing to do
    if (!SetConsoleOutputCP(CP_UTF8))
        return;
    console_own_code_page = own;
    std::atexit(restore_console_code_page);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool explained_when_started_alone(int argc) {
    DWORD processes[2] = {};
    // Alone in a console that has a window: the console was made for this
    // start, as Explorer makes one, and closes with the program.
    if (argc > 1 || GetConsoleProcessList(processes, 2) != 1 || GetConsoleWindow() == nullptr)
        return false;
    // The console's own handles: the standard ones may be the caller's.
    HANDLE output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    const std::wstring text(started_alone_text, started_alone_text + sizeof started_alone_text - 1);
    DWORD count = 0;
    if (output != INVALID_HANDLE_VALUE)
        WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &count, nullptr);
    if (input != INVALID_HANDLE_VALUE) {
        FlushConsoleInputBuffer(input);
        INPUT_RECORD record = {};
        while (ReadConsoleInputW(input, &record, 1, &count) && count == 1)
            if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
                break;
    }
    for (HANDLE handle : {output, input})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    return true;
}

#else

void use_program_code_page_in_console() {}

bool explained_when_started_alone(int) {
    return false;
}

#endif
