// kgfthumb.dll: the shell's thumbnail handler for KGF and KAF files. The
// handler's class and the module's bookkeeping, shared by its two files.
#pragma once

#include <windows.h>

// {8B97F6AD-4800-463C-936D-0557F32AFCEC}
inline constexpr CLSID kgfthumb_clsid = {
    0x8b97f6ad, 0x4800, 0x463c, {0x93, 0x6d, 0x05, 0x57, 0xf3, 0x2a, 0xfc, 0xec}};
inline constexpr wchar_t kgfthumb_clsid_text[] = L"{8B97F6AD-4800-463C-936D-0557F32AFCEC}";

// The module, for its own path; and the objects and locks alive, for
// DllCanUnloadNow.
extern HMODULE kgfthumb_module;
extern LONG kgfthumb_objects;
