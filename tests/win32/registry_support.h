// Reading a value of the program's registry key back, for the tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct stored_value {
    bool found = false;
    DWORD type = 0;
    std::vector<uint8_t> bytes;
};

inline stored_value query(const std::string& key_path, const char* name) {
    stored_value result;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return result;
    std::vector<uint8_t> buffer(1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExA(key, name, nullptr, &result.type, buffer.data(), &size) == ERROR_SUCCESS) {
        result.found = true;
        buffer.resize(size);
        result.bytes = buffer;
    }
    RegCloseKey(key);
    return result;
}
