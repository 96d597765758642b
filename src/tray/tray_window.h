// The tray: Velmora's only user interface, a menu of four commands ("View
// log", "Set ADB Path", "About", "Exit"). On Windows it is a notification-area
// icon with a popup menu, served by a hidden window; on Linux the terminal
// stands in for it: each line read from standard input is a menu command, and
// SIGINT or SIGTERM quits.
#pragma once

#include "phones/verdict.h"
#include "services/event_log.h"

#include <string>
#include <string_view>
#include <vector>

// "Velmora VERSION", the maker and the maker's web address, one per line.
extern const char* const ABOUT_TEXT;

// The IDM_ command that a typed line names, ignoring case and surrounding
// blanks, or 0 when it names none.
int menuCommandFromText(std::string_view text);

// How the outcome of a command is shown, in the same words on every OS.
struct OutcomeWords {
    enum class Kind { Success, Failure, AdbNotStarted } kind = Kind::Failure;
    std::string balloon;             // under the title "Velmora"; none when empty
    std::string tooltip;             // "Velmora", a line end, the verdict and its time
    std::vector<std::string> lines;  // for standard output
};
constexpr std::size_t BALLOON_LIMIT = 255;  // UTF-16 units a balloon's text takes
constexpr std::size_t TOOLTIP_LIMIT = 127;  // and an icon's tooltip

OutcomeWords describeOutcome(const Verdict& verdict, ClockTime time);

// Provided by the per-OS part.

// Shows the outcome where the developer looks: a balloon and the icon's
// tooltip on Windows, standard output on Linux. Called by a receiver thread;
// hands the outcome over and returns at once, never waiting for the tray.
void showOutcome(const Verdict& verdict);

// Sets up the tray for the program instance (the module handle on Windows).
// False when it cannot be shown at all.
bool createTray(void* instance);
void removeTray();

// Serves the tray until it is asked to quit; returns the exit code.
int runMessageLoop();
