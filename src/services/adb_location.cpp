#include "adb_location.h"

#include <algorithm>
#include <type_traits>

namespace {

// The rules are the same for bytes and for UTF-16 units.
template <typename View>
bool hasControlCharacter(View text)
{
    return std::any_of(text.begin(), text.end(), [](auto c) {
        const auto code = static_cast<std::make_unsigned_t<decltype(c)>>(c);
        return code < 0x20 || code == 0x7f;
    });
}

template <typename View>
std::basic_string<typename View::value_type, typename View::traits_type> pathFromStoredValue(View value)
{
    if (value.size() > ADB_PATH_VALUE_CHARS)
        return {};
    const auto end = value.find(typename View::value_type(0));
    if (end == View::npos && value.size() == ADB_PATH_VALUE_CHARS)
        return {};
    value = value.substr(0, end);
    if (hasControlCharacter(value))
        return {};
    return {value.data(), value.size()};
}

}  // namespace

std::string adbPathFromStoredValue(const char* bytes, std::size_t count)
{
    return pathFromStoredValue(std::string_view(bytes, count));
}

WideString adbPathFromStoredValue(const wchar_t* units, std::size_t count)
{
    return pathFromStoredValue(WideStringView(units, count));
}

// Storable is what reads back whole.
bool isStorableAdbPath(std::string_view path)
{
    return adbPathFromStoredValue(path.data(), path.size()) == path;
}

bool isStorableAdbPath(WideStringView path)
{
    return adbPathFromStoredValue(path.data(), path.size()) == path;
}
