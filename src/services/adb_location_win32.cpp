#include "adb_location.h"
#include "settings.h"
#include "wide_text.h"

#include <windows.h>

const std::string_view DEFAULT_ADB_PATH =
    "C:\\Program Files (x86)\\Android\\android-sdk\\platform-tools\\adb.exe";

namespace {

constexpr const wchar_t* KEY_PATH = L"Software\\Corvend\\Velmora";
constexpr const wchar_t* VALUE_NAME = L"ADBPath";

}  // namespace

// The value is read and written as UTF-16, as the registry holds it, so that
// any path reads back exactly, whatever the system's code page.
std::string loadAdbPath()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[ADB_PATH_VALUE_CHARS] = {};
    DWORD size = sizeof buffer;
    const LONG result =
        RegQueryValueExW(key, VALUE_NAME, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return {};
    return toUtf8(adbPathFromStoredValue(buffer, size / sizeof(wchar_t)));
}

bool storeAdbPath(std::string_view path)
{
    return isStorableAdbPath(toUtf16(path)) && storeSetting("ADBPath", path);
}
