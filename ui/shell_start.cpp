#include "platform/message.h"
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

std::string stored_install_dir() {
    // The stored folder may lack its terminator.
    return std::string(settings.install_dir,
                       strnlen(settings.install_dir, sizeof settings.install_dir));
}

} // namespace

std::string help_text_folder(const std::string& beside_program, const std::string& installed) {
    // The program's own guide first: install_dir is the folder the program
    // first started in (a mod's folder, say), whose readme.txt is another's.
    if (holds_help_text(beside_program))
        return beside_program;
    if (holds_help_text(installed))
        return installed;
    return std::string();
}

std::string help_text_missing(const std::string& beside_program, const std::string& installed) {
    std::string text = "readme.txt was not found in " + beside_program;
    if (!installed.empty() && installed != beside_program)
        text += (beside_program.empty() ? "" : "\nnor in ") + installed;
    return text;
}

void open_help_text(HWND owner) {
    const std::string program = program_folder();
    const std::string installed = stored_install_dir();
    const std::string folder = help_text_folder(program, installed);
    // The editor would offer to create a file that is not there, which
    // Help would then show for good.
    if (folder.empty()) {
        show_error(help_text_missing(program, installed).c_str());
        return;
    }
    shell_execute(owner, nullptr, "notepad.exe", "readme.txt", folder.c_str(), SW_SHOWNORMAL);
}
