// Resource identifiers: the icon, the tray menu and its commands. The menu
// command numbers are also what the Linux stand-in of the menu dispatches on.
#pragma once

#define IDI_APP 101
#define IDM_TRAY 102
#define IDM_EXIT 103
#define IDM_ABOUT 104
#define IDM_SET_ADB_PATH 105
#define IDM_VIEW_LOG 106
#define IDM_START_WITH_WINDOWS 107
