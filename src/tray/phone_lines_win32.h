// The phones at the head of the tray menu (phones/phone_menu.h): the lines
// that adb's device list gives, and what choosing one does.
#pragma once

#include <windows.h>

// Puts the phone lines, then a separator, at the head of the popup menu.
// The list comes from `adb devices -l`, run now on a thread of its own and
// waited for at most PHONE_LIST_WAIT_MS; without it by then a grayed line
// says that phones are being looked for, and the run goes on to serve the
// next menu.
// A listing that finished more than PHONE_LIST_FRESH_MS before the menu
// opens is not shown: a new run starts.
constexpr DWORD PHONE_LIST_WAIT_MS = 1000;
constexpr DWORD PHONE_LIST_FRESH_MS = 5000;
void addPhoneLines(HMENU popup);

// Hands the switch of the phone line with this command to the command
// worker; false when the command is no phone line.
bool choosePhoneLine(unsigned command);
