// Runs the real kgfconv.exe in a console, as a user's console runs it, and
// reads what the console shows: names in every language while the console
// keeps its own code page, and the text of a start from Explorer, which
// waits for a key.
//
// Usage: drive_kgfconv <path of kgfconv.exe> [GoogleTest options]
#include "window_driving.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using window_driving::windows_path;

namespace {

std::string program_path;
constexpr DWORD run_timeout_ms = 60000;

struct process_run {
    PROCESS_INFORMATION process = {};
    ~process_run() {
        if (process.hProcess == nullptr)
            return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
};

HANDLE console_handle(const wchar_t* name) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherited, OPEN_EXISTING, 0, nullptr);
}

enum class started { in_console, suspended };

// Starts kgfconv with the arguments in this driver's console: as a console's
// shell starts it, its standard handles those of the console; or suspended,
// with no handles of this driver's.
void start_kgfconv(process_run& run, const std::string& arguments, started how) {
    const bool own_console = how == started::suspended;
    std::string command = "\"" + windows_path(program_path) + "\"";
    if (!arguments.empty())
        command += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    if (!own_console) {
        input = console_handle(L"CONIN$");
        output = console_handle(L"CONOUT$");
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    const BOOL started = CreateProcessA(
        nullptr, command.data(), nullptr, nullptr, own_console ? FALSE : TRUE,
        own_console ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &run.process);
    if (input != nullptr) {
        CloseHandle(input);
        CloseHandle(output);
    }
    ASSERT_TRUE(started) << "cannot start " << command;
}

DWORD finish(process_run& run, DWORD timeout_ms) {
    if (WaitForSingleObject(run.process.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(run.process.hProcess, &code);
    return code;
}

// A console's text in UTF-8, for the failure messages.
std::string utf8(const std::wstring& text) {
    std::string result(text.size() * 4, '\0');
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                            static_cast<int>(result.size()), nullptr, nullptr);
    result.resize(static_cast<size_t>(length > 0 ? length : 0));
    return result;
}

// Everything a console's screen buffer shows, row after row.
std::wstring screen_text(HANDLE output) {
    std::wstring text;
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (output != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(output, &info)) {
        text.resize(static_cast<size_t>(info.dwSize.X) * static_cast<size_t>(info.dwSize.Y));
        DWORD read = 0;
        ReadConsoleOutputCharacterW(output, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                    &read);
        text.resize(read);
    }
    return text;
}

std::wstring console_text() {
    HANDLE output = console_handle(L"CONOUT$");
    std::wstring text = screen_text(output);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    return text;
}

// A console of this driver's own, in a Western code page.
void open_console(UINT code_page) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << "no console";
    ASSERT_TRUE(SetConsoleOutputCP(code_page));
}

TEST(console, shows_names_in_every_language_and_keeps_its_code_page) {
    ASSERT_NO_FATAL_FAILURE(open_console(850));
    process_run run;
    ASSERT_NO_FATAL_FAILURE(start_kgfconv(run, "info \"Текстуры\\木.kgf\"", started::in_console));
    EXPECT_EQ(finish(run, run_timeout_ms), 1u);
    const std::wstring shown = console_text();
    EXPECT_NE(shown.find(L"kgfconv: Текстуры\\木.kgf: "), std::wstring::npos)
        << "the console shows: " << utf8(shown);
    EXPECT_EQ(GetConsoleOutputCP(), 850u);
    FreeConsole();
}

TEST(console, started_without_arguments_from_a_console_ends_at_once) {
    ASSERT_NO_FATAL_FAILURE(open_console(850));
    process_run run;
    ASSERT_NO_FATAL_FAILURE(start_kgfconv(run, "", started::in_console));
    EXPECT_EQ(finish(run, run_timeout_ms), 2u);
    EXPECT_EQ(console_text().find(L"Press any key"), std::wstring::npos);
    FreeConsole();
}

// As Explorer starts it: alone in a console with a window. The console is
// made here and left before kgfconv runs; its screen and input are reached
// through handles kept from it, so that nothing joins it while kgfconv looks.
TEST(console, started_alone_says_what_it_is_and_waits_for_a_key) {
    ASSERT_NO_FATAL_FAILURE(open_console(850));
    HANDLE output = console_handle(L"CONOUT$");
    HANDLE input = console_handle(L"CONIN$");
    process_run run;
    ASSERT_NO_FATAL_FAILURE(start_kgfconv(run, "", started::suspended));
    FreeConsole();
    ResumeThread(run.process.hThread);

    std::wstring shown;
    for (int tries = 0; tries < 600 && shown.find(L"Press any key") == std::wstring::npos;
         ++tries) {
        if (finish(run, 100) != STILL_ACTIVE)
            break;
        shown = screen_text(output);
    }
    EXPECT_NE(shown.find(L"kgftool.exe"), std::wstring::npos);
    EXPECT_NE(shown.find(L"readme.txt"), std::wstring::npos);
    ASSERT_NE(shown.find(L"Press any key"), std::wstring::npos)
        << "its console shows: " << utf8(shown);
    EXPECT_EQ(finish(run, 500), static_cast<DWORD>(STILL_ACTIVE)) << "it did not wait";

    INPUT_RECORD keys[2] = {};
    for (INPUT_RECORD& key : keys) {
        key.EventType = KEY_EVENT;
        key.Event.KeyEvent.wRepeatCount = 1;
        key.Event.KeyEvent.wVirtualKeyCode = VK_SPACE;
        key.Event.KeyEvent.uChar.UnicodeChar = L' ';
    }
    keys[0].Event.KeyEvent.bKeyDown = TRUE;
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(input, keys, 2, &written));
    EXPECT_EQ(finish(run, run_timeout_ms), 2u) << "a key did not end it";
    CloseHandle(output);
    CloseHandle(input);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        program_path = argv[1];
    return RUN_ALL_TESTS();
}
