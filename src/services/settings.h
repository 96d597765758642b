// Velmora's stored settings: the adb path (adb_location.h) and the phones it
// remembers. Windows keeps each as a REG_SZ value under
// HKEY_CURRENT_USER\Software\Corvend\Velmora; Linux as a file of that name in
// $XDG_CONFIG_HOME/Corvend/Velmora (~/.config when that is not set).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What separates the items of a stored list: a space on Windows, a line end
// on Linux.
extern const char SETTING_LIST_SEPARATOR;

// Linux: the file of this name in the setting folder; empty when no such
// folder can be named.
std::string settingFilePath(std::string_view name);

// The stored text, in UTF-8; empty when it is missing, cannot be read or
// holds more than limit characters.
std::string loadSetting(std::string_view name, std::size_t limit);

// Stores the text, creating the key or folder as needed; on Linux written
// aside and then put in place, so that a failed write never loses what was
// stored. False when nothing was stored.
bool storeSetting(std::string_view name, std::string_view text);
