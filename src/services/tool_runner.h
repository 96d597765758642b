// Starting adb: one run of a tool, waited for without time-out, with a log
// line saying whether it could be started. The tool's output and exit status
// are not read; "successfully" means only that it started.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using ToolArguments = std::vector<std::string>;

// Starts the program with the arguments and waits for it to end. False when
// it could not be started. Each argument reaches the tool as one argv entry.
bool launchAndWait(const std::string& program, const ToolArguments& arguments);

using ToolLauncher = std::function<bool(const std::string&, const ToolArguments&)>;

// Launches, then logs "successfully" or "error" on a line of its own.
bool runTool(const std::string& program, const ToolArguments& arguments,
             const ToolLauncher& launch = launchAndWait);

// The Windows command line for a program and its arguments: the program in
// double quotes, each argument quoted where the C runtime's parser needs it.
// Built whole however long it gets. Empty when the program cannot be named
// on a command line (empty, or holding a double quote, which no Windows file
// name does).
std::optional<std::string> buildCommandLine(std::string_view program, const ToolArguments& arguments);
