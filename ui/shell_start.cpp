#include "settings/settings.h"
#include "ui/ui.h"

#include <cstring>
#include <shellapi.h>
#include <string>

shell_execute_function shell_execute = ShellExecuteA;

void open_help_text(HWND owner) {
    // The stored folder may lack its terminator.
    const std::string folder(settings.install_dir,
                             strnlen(settings.install_dir, sizeof settings.install_dir));
    shell_execute(owner, nullptr, "notepad.exe", "readme.txt", folder.c_str(), SW_SHOWNORMAL);
}
