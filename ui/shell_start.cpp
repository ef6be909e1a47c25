#include "settings/settings.h"
#include "ui/ui.h"

#include <cstring>
#include <shellapi.h>
#include <string>

shell_execute_function shell_execute = ShellExecuteA;

namespace {

bool holds_help_text(const std::string& folder) {
    if (folder.empty())
        return false;
    const char last = folder.back();
    const std::string path = folder + (last == '\\' || last == '/' ? "" : "\\") + "readme.txt";
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of the running program, or an empty text.
std::string program_folder() {
    char program[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string folder(program, length);
    const size_t separator = folder.find_last_of("\\/");
    if (separator == std::string::npos)
        return std::string();
    folder.resize(separator);
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\'; // a drive's root keeps its separator
    return folder;
}

} // namespace

std::string help_text_folder() {
    // The stored folder may lack its terminator.
    const std::string installed(settings.install_dir,
                                strnlen(settings.install_dir, sizeof settings.install_dir));
    if (holds_help_text(installed))
        return installed;
    // install_dir is the folder the program first started in, which need
    // not be where it is installed: the guide beside the program is taken.
    const std::string beside_program = program_folder();
    return beside_program.empty() ? installed : beside_program;
}

void open_help_text(HWND owner) {
    const std::string folder = help_text_folder();
    shell_execute(owner, nullptr, "notepad.exe", "readme.txt", folder.c_str(), SW_SHOWNORMAL);
}
