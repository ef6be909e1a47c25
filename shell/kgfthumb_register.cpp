// regsvr32 kgfthumb.dll: registers the handler for the current user alone,
// under HKEY_CURRENT_USER\Software\Classes, with no administrator rights.
// regsvr32 /u removes every key it wrote, and no key that holds anything
// else.
#include "shell/kgfthumb.h"

#include <shlobj.h>
#include <string>

namespace {

const wchar_t classes[] = L"Software\\Classes\\";
const wchar_t clsid_key[] = L"Software\\Classes\\CLSID\\";
// The shell's key for a type's thumbnail handler: IThumbnailProvider's id.
const wchar_t thumbnail_handler[] = L"\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
const wchar_t* const endings[] = {L".kgf", L".kaf"};

HRESULT set_text(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY opened = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &opened, nullptr);
    if (result == ERROR_SUCCESS) {
        result =
            RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
    return HRESULT_FROM_WIN32(result);
}

std::wstring text_of(const std::wstring& key) {
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

// Deletes a key that holds no sub-key and no value: one this module made.
void delete_if_empty(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    DWORD keys = 0;
    DWORD values = 0;
    const LONG asked = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                        &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (asked == ERROR_SUCCESS && keys == 0 && values == 0)
        RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

} // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(kgfthumb_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    const std::wstring server = std::wstring(clsid_key) + kgfthumb_clsid_text;
    HRESULT result = set_text(server, nullptr, L"KGF Tool thumbnail handler");
    if (SUCCEEDED(result))
        result = set_text(server + L"\\InprocServer32", nullptr, path);
    if (SUCCEEDED(result))
        result = set_text(server + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    for (const wchar_t* ending : endings)
        if (SUCCEEDED(result))
            result = set_text(std::wstring(classes) + ending + thumbnail_handler, nullptr,
                              kgfthumb_clsid_text);
    if (SUCCEEDED(result))
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return result;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    for (const wchar_t* ending : endings) {
        const std::wstring type = std::wstring(classes) + ending;
        const std::wstring handler = type + thumbnail_handler;
        // Another handler registered there since is left alone.
        if (_wcsicmp(text_of(handler).c_str(), kgfthumb_clsid_text) == 0)
            RegDeleteKeyW(HKEY_CURRENT_USER, handler.c_str());
        delete_if_empty(type + L"\\ShellEx");
        delete_if_empty(type);
    }
    const std::wstring server = std::wstring(clsid_key) + kgfthumb_clsid_text;
    const LONG deleted = RegDeleteTreeW(HKEY_CURRENT_USER, server.c_str());
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND
               ? S_OK
               : HRESULT_FROM_WIN32(deleted);
}
