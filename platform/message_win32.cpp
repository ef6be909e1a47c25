#include <windows.h>

int platform_default_message(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(nullptr, text, caption, style);
}
