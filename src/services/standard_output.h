// Lines for whoever reads the program's standard output: on Linux the
// terminal that stands in for the tray, or a pipe. Never waits for it.
#pragma once

#include <string_view>

// Writes the text as it is, at once and whole, or drops it: a terminal
// paused with Ctrl+S or a pipe that nobody reads must not hold the program
// up (Linux). A text is cut to PIPE_BUF bytes, and never lands inside another.
void printNow(std::string_view text);
