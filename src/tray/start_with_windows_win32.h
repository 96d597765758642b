// Start with Windows, as the menu item of that name offers it: the value
// "Velmora" under HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run
// names this executable, its path in double quotes.
#pragma once

// True when the value names this executable (Windows compares paths
// without regard to case).
bool startsWithWindows();

// Adds the value, in place of one that names another path (the folder was
// moved), or deletes it; false when the registry refused.
bool setStartWithWindows(bool on);
