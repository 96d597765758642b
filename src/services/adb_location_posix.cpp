#include "adb_location.h"
#include "settings.h"

// Looked up on PATH when run.
const std::string_view DEFAULT_ADB_PATH = "adb";

std::string loadAdbPath()
{
    // Room for a line end after the value: a larger file counts as no value.
    std::string value = loadSetting("ADBPath", ADB_PATH_VALUE_CHARS + 2);
    // `echo PATH > ADBPath` ends the value with a line end: not part of it.
    if (!value.empty() && value.back() == '\n') {
        value.pop_back();
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
    }
    return adbPathFromStoredValue(value.data(), value.size());
}

bool storeAdbPath(std::string_view path)
{
    return isStorableAdbPath(path) && storeSetting("ADBPath", path);
}
