#include "settings.h"

#include "wide_text.h"

#include <windows.h>

#include <vector>

const char SETTING_LIST_SEPARATOR = ' ';

namespace {

constexpr const wchar_t* KEY_PATH = L"Software\\Corvend\\Velmora";

}  // namespace

// Read and written as UTF-16, as the registry holds it, so that any text
// reads back exactly, whatever the system's code page.
std::string loadSetting(std::string_view name, std::size_t limit)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    // Room for the terminator and one unit more, which tells a value that is too large.
    std::vector<wchar_t> buffer(limit + 2);
    DWORD type = 0, size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG result = RegQueryValueExW(key, toUtf16(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return {};
    const WideStringView value(buffer.data(), size / sizeof(wchar_t));
    const WideStringView text = value.substr(0, value.find(L'\0'));
    return text.size() > limit ? std::string() : toUtf8(text);
}

bool storeSetting(std::string_view name, std::string_view text)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    // A REG_SZ's size counts its terminating NUL.
    const WideString wide = toUtf16(text);
    const LONG result = RegSetValueExW(key, toUtf16(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(wide.c_str()),
                                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
