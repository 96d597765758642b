#include "adb_location.h"

#include <windows.h>

const std::string_view DEFAULT_ADB_PATH =
    "C:\\Program Files (x86)\\Android\\android-sdk\\platform-tools\\adb.exe";

namespace {

constexpr const char* KEY_PATH = "Software\\Corvend\\Velmora";
constexpr const wchar_t* KEY_PATH_WIDE = L"Software\\Corvend\\Velmora";
constexpr const char* VALUE_NAME = "ADBPath";

}  // namespace

std::string loadAdbPath()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    char buffer[ADB_PATH_VALUE_BYTES] = {};
    DWORD size = sizeof buffer;
    const LONG result =
        RegQueryValueExA(key, VALUE_NAME, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return {};
    return adbPathFromStoredValue(buffer, size);
}

bool storeAdbPath(std::string_view path)
{
    if (!isStorableAdbPath(path))
        return false;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KEY_PATH_WIDE, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(key, VALUE_NAME, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(path.data()),
                                       static_cast<DWORD>(path.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
