// Settings kept under HKEY_CURRENT_USER\Software\KGF Tool.
#include "settings/settings.h"

#include <windows.h>

#include <cstring>

namespace {

// Closes the key it holds when it goes out of scope.
struct registry_key {
    HKEY handle = nullptr;
    registry_key() = default;
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;
    ~registry_key() {
        if (handle != nullptr)
            RegCloseKey(handle);
    }
};

bool open_key(HKEY parent, const char* name, REGSAM rights, registry_key& key) {
    return RegOpenKeyExA(parent, name, 0, rights, &key.handle) == ERROR_SUCCESS;
}

// Opens the key, creating it when it cannot be opened.
bool open_or_create_key(HKEY parent, const char* name, REGSAM rights, registry_key& key) {
    if (open_key(parent, name, rights, key))
        return true;
    key.handle = nullptr;
    return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, rights, nullptr,
                           &key.handle, nullptr) == ERROR_SUCCESS;
}

// Reads a text value into a scratch buffer of the field's size; the field
// changes only when a REG_SZ that fits and ends within the field came back,
// so a stray value never leaves it unterminated or half overwritten.
void read_text(HKEY key, const char* name, char* field, DWORD size) {
    char scratch[256] = {};
    if (size > sizeof scratch)
        return;
    DWORD type = 0;
    DWORD length = size;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &length) !=
        ERROR_SUCCESS)
        return;
    if (type != REG_SZ || length > size || std::memchr(scratch, '\0', length) == nullptr)
        return;
    std::memcpy(field, scratch, size);
}

// Takes a byte value only when exactly one raw byte is stored.
void read_byte(HKEY key, const char* name, uint8_t& field) {
    BYTE scratch = 0;
    DWORD type = 0;
    DWORD length = 1;
    if (RegQueryValueExA(key, name, nullptr, &type, &scratch, &length) != ERROR_SUCCESS)
        return;
    if (type != REG_BINARY || length != 1)
        return;
    field = scratch;
}

// Stores the field's whole size: the text, its terminator, zeros after it.
bool write_text(HKEY key, const char* name, const char* field, DWORD size) {
    char buffer[256] = {};
    if (size > sizeof buffer)
        return false;
    const size_t length = strnlen(field, size - 1);
    std::memcpy(buffer, field, length);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer), size) ==
           ERROR_SUCCESS;
}

bool write_byte(HKEY key, const char* name, uint8_t value) {
    const BYTE data = value;
    return RegSetValueExA(key, name, 0, REG_BINARY, &data, 1) == ERROR_SUCCESS;
}

} // namespace

int load_settings() {
    set_default_settings();
    registry_key software;
    if (!open_key(HKEY_CURRENT_USER, "Software", KEY_READ, software))
        return 1;
    registry_key tool;
    if (!open_key(software.handle, "KGF Tool", KEY_READ, tool))
        return 1;
    read_text(tool.handle, "input_dir", settings.input_dir, sizeof settings.input_dir);
    read_text(tool.handle, "install_dir", settings.install_dir, sizeof settings.install_dir);
    read_text(tool.handle, "output_dir", settings.output_dir, sizeof settings.output_dir);
    read_byte(tool.handle, "input_type", settings.input_type);
    read_byte(tool.handle, "output_type", settings.output_type);
    {
        registry_key tga;
        if (open_key(tool.handle, "tga", KEY_READ, tga)) {
            read_byte(tga.handle, "bpp", settings.bpp);
            read_byte(tga.handle, "mipmaps", settings.mipmaps);
            read_text(tga.handle, "suffix", settings.suffix, sizeof settings.suffix);
        }
    }
    {
        registry_key kgf;
        if (open_key(tool.handle, "kgf", KEY_READ, kgf)) {
            read_byte(kgf.handle, "num_mipmaps", settings.num_mipmaps);
            read_byte(kgf.handle, "dither", settings.dither);
            read_byte(kgf.handle, "srgb_mips", settings.srgb_mips);
            read_byte(kgf.handle, "alpha_mips", settings.alpha_mips);
        }
    }
    check_loaded_settings();
    return 1;
}

// Every value is written even after one failed, as the program's own save
// does; the result tells whether all of them were.
bool try_save_settings() {
    registry_key software;
    if (!open_key(HKEY_CURRENT_USER, "Software", KEY_CREATE_SUB_KEY, software))
        return false;
    registry_key tool;
    if (!open_or_create_key(software.handle, "KGF Tool", KEY_SET_VALUE | KEY_CREATE_SUB_KEY, tool))
        return false;
    bool ok =
        write_text(tool.handle, "install_dir", settings.install_dir, sizeof settings.install_dir);
    ok = write_text(tool.handle, "input_dir", settings.input_dir, sizeof settings.input_dir) && ok;
    ok = write_text(tool.handle, "output_dir", settings.output_dir, sizeof settings.output_dir) &&
         ok;
    ok = write_byte(tool.handle, "input_type", settings.input_type) && ok;
    ok = write_byte(tool.handle, "output_type", settings.output_type) && ok;
    {
        registry_key tga;
        if (open_or_create_key(tool.handle, "tga", KEY_SET_VALUE, tga)) {
            ok = write_byte(tga.handle, "bpp", settings.bpp) && ok;
            ok = write_byte(tga.handle, "mipmaps", settings.mipmaps) && ok;
            ok = write_text(tga.handle, "suffix", settings.suffix, sizeof settings.suffix) && ok;
        } else {
            ok = false;
        }
    }
    {
        registry_key kgf;
        if (open_or_create_key(tool.handle, "kgf", KEY_SET_VALUE, kgf)) {
            ok = write_byte(kgf.handle, "num_mipmaps", settings.num_mipmaps) && ok;
            ok = write_byte(kgf.handle, "dither", settings.dither) && ok;
            ok = write_byte(kgf.handle, "srgb_mips", settings.srgb_mips) && ok;
            ok = write_byte(kgf.handle, "alpha_mips", settings.alpha_mips) && ok;
        } else {
            ok = false;
        }
    }
    return ok;
}

int save_settings() {
    try_save_settings();
    return 1;
}

std::string settings_location() {
    return "HKEY_CURRENT_USER\\Software\\KGF Tool";
}
