#include "test_support.h"

#include "services/adb_location.h"

#include <filesystem>
#include <stdlib.h>
#include <windows.h>

void setEnvironment(const char* name, const std::string& value)
{
    _putenv_s(name, value.c_str());
}

void isolateAdbSetting()
{
    // The tests run in a Wine prefix of their own: its registry is theirs.
}

void forgetAdbSetting()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvend\\Velmora", 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "ADBPath");
        RegCloseKey(key);
    }
}

std::string installFakeAdbAsDefault()
{
    // The default path has spaces; a C:\Program.exe beside it is what an
    // unquoted command line would run instead.
    const std::string defaultPath(DEFAULT_ADB_PATH);
    copyFakeAdbInto(defaultPath.substr(0, defaultPath.find_last_of('\\')));
    std::filesystem::remove("C:\\Program.exe");
    std::filesystem::copy_file(fakeAdbPath(), "C:\\Program.exe");
    return defaultPath;
}
