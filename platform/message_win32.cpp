#include "platform/message.h"

#include <windows.h>

// A long path would make the box wider than the screen: it is shortened in
// the middle here, for the box alone.
int platform_default_message(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(nullptr, shorten_long_words(text).c_str(), caption, style);
}
