// The tray: Velmora's only user interface, a menu of four commands ("View
// log", "Set ADB Path", "About", "Exit"). On Windows it is a notification-area
// icon with a popup menu, served by a hidden window; on Linux the terminal
// stands in for it: each line read from standard input is a menu command, and
// SIGINT or SIGTERM quits.
#pragma once

#include <string_view>

// "Velmora VERSION", the maker and the maker's web address, one per line.
extern const char* const ABOUT_TEXT;

// The IDM_ command that a typed line names, ignoring case and surrounding
// blanks, or 0 when it names none.
int menuCommandFromText(std::string_view text);

// Provided by the per-OS part.

// Sets up the tray for the program instance (the module handle on Windows).
// False when it cannot be shown at all.
bool createTray(void* instance);
void removeTray();

// Serves the tray until it is asked to quit; returns the exit code.
int runMessageLoop();
