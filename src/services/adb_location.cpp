#include "adb_location.h"

std::string adbPathFromStoredValue(const char* bytes, std::size_t count)
{
    if (count > ADB_PATH_VALUE_BYTES)
        return {};
    const std::string_view value(bytes, count);
    const auto end = value.find('\0');
    if (end == std::string_view::npos && count == ADB_PATH_VALUE_BYTES)
        return {};
    return std::string(value.substr(0, end));
}

bool isStorableAdbPath(std::string_view path)
{
    return path.size() < ADB_PATH_VALUE_BYTES && path.find('\0') == std::string_view::npos;
}
