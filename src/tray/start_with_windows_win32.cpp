#include "start_with_windows_win32.h"

#include "services/wide_text.h"

#include <windows.h>

#include <vector>

namespace {

constexpr const wchar_t* RUN_KEY = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* VALUE_NAME = L"Velmora";

// This executable's path in double quotes, as the value holds it; empty
// when the path cannot be had.
WideString quotedExecutablePath()
{
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    return L"\"" + WideString(path.data(), length) + L"\"";
}

}  // namespace

bool startsWithWindows()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> value(32772);
    DWORD type = 0, size = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
    const LONG result =
        RegQueryValueExW(key, VALUE_NAME, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    const WideString expected = quotedExecutablePath();
    return result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && !expected.empty() &&
           CompareStringOrdinal(value.data(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool setStartWithWindows(bool on)
{
    const WideString path = quotedExecutablePath();
    HKEY key;
    if ((on && path.empty()) || RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    // A REG_SZ's size counts its terminating NUL.
    const LONG result = on ? RegSetValueExW(key, VALUE_NAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)))
                           : RegDeleteValueW(key, VALUE_NAME);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!on && result == ERROR_FILE_NOT_FOUND);
}
