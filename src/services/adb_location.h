// Where adb lives: the one stored setting. Windows keeps it in the registry
// value "ADBPath" under HKEY_CURRENT_USER\Software\Corvend\Velmora; Linux in
// the file Corvend/Velmora/ADBPath under $XDG_CONFIG_HOME (~/.config).
// The setting is read afresh for every command, so a new path takes effect
// at once; nothing is cached.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "wide_text.h"

// Used when nothing usable is stored; also where "Set ADB Path" starts.
extern const std::string_view DEFAULT_ADB_PATH;

// The stored value is read into a buffer of this many characters (bytes on
// Linux, UTF-16 units on Windows); a larger value counts as no value.
constexpr std::size_t ADB_PATH_VALUE_CHARS = 261;

// The path in a stored value of count characters: up to the first NUL. A
// value that does not fit the read buffer, or fills it without a terminator,
// reads as empty rather than as a cut path (a cut path would name another
// program). So does a value holding control characters, which no Windows path
// has and which would break the log line that shows the path.
std::string adbPathFromStoredValue(const char* bytes, std::size_t count);
WideString adbPathFromStoredValue(const wchar_t* units, std::size_t count);

// A path that reads back whole: shorter than the read buffer, without NUL or
// other control characters.
bool isStorableAdbPath(std::string_view path);
bool isStorableAdbPath(WideStringView path);

// The stored path, or the empty text when there is none; the caller applies
// DEFAULT_ADB_PATH so that it can log that it did.
std::string loadAdbPath();

// Stores the path, creating the key or folders as needed: on Windows as a
// REG_SZ with its terminating NUL, on Linux as the path's bytes alone. A path
// that is not storable is refused and the stored one kept. False when nothing
// was stored.
bool storeAdbPath(std::string_view path);
