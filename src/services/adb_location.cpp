#include "adb_location.h"

#include <algorithm>
#include <type_traits>

namespace {

template <typename Char>
bool hasControlCharacter(std::basic_string_view<Char> text)
{
    return std::any_of(text.begin(), text.end(), [](Char c) {
        const auto code = static_cast<std::make_unsigned_t<Char>>(c);
        return code < 0x20 || code == 0x7f;
    });
}

template <typename Char>
std::basic_string<Char> pathFromStoredValue(const Char* characters, std::size_t count)
{
    if (count > ADB_PATH_VALUE_CHARS)
        return {};
    std::basic_string_view<Char> value(characters, count);
    const auto end = value.find(Char(0));
    if (end == value.npos && count == ADB_PATH_VALUE_CHARS)
        return {};
    value = value.substr(0, end);
    if (hasControlCharacter(value))
        return {};
    return std::basic_string<Char>(value);
}

template <typename Char>
bool isStorable(std::basic_string_view<Char> path)
{
    return path.size() < ADB_PATH_VALUE_CHARS && !hasControlCharacter(path);
}

}  // namespace

std::string adbPathFromStoredValue(const char* bytes, std::size_t count)
{
    return pathFromStoredValue(bytes, count);
}

std::wstring adbPathFromStoredValue(const wchar_t* units, std::size_t count)
{
    return pathFromStoredValue(units, count);
}

bool isStorableAdbPath(std::string_view path)
{
    return isStorable(path);
}

bool isStorableAdbPath(std::wstring_view path)
{
    return isStorable(path);
}
