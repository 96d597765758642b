#include "adb_location.h"

#include <algorithm>

namespace {

bool hasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

}  // namespace

std::string adbPathFromStoredValue(const char* bytes, std::size_t count)
{
    if (count > ADB_PATH_VALUE_BYTES)
        return {};
    std::string_view value(bytes, count);
    const auto end = value.find('\0');
    if (end == std::string_view::npos && count == ADB_PATH_VALUE_BYTES)
        return {};
    value = value.substr(0, end);
    if (hasControlCharacter(value))
        return {};
    return std::string(value);
}

bool isStorableAdbPath(std::string_view path)
{
    return path.size() < ADB_PATH_VALUE_BYTES && !hasControlCharacter(path);
}
