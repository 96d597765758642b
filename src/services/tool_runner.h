// Starting adb: one run of a tool, waited for at most TOOL_TIME_LIMIT_MS,
// then logged: "successfully" when it could be started ("error" when not),
// followed by what it wrote and, when not 0, its exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using ToolArguments = std::vector<std::string>;

// At most this much of a tool's output is read back.
constexpr std::size_t TOOL_OUTPUT_READ_LIMIT = 64 * 1024;
constexpr std::size_t TOOL_LINE_LIMIT = 200;   // characters kept of a line
constexpr std::size_t TOOL_LINES_LOGGED = 10;  // lines kept of the output
// A tool still running this long after its launch is ended: a phone whose USB
// link stalls, or a wedged adb server, must not hold every later command up.
constexpr std::uint32_t TOOL_TIME_LIMIT_MS = 20000;

struct ToolRun {
    bool started = false;
    unsigned long exitCode = 0;  // as the OS reports it
    bool exitCodeKnown = true;   // false when waiting for the tool or asking how it ended failed
    int signal = 0;              // Linux: the signal that ended the tool, else 0
    std::string output;          // the start of its standard output and error, together
    bool outputCut = false;      // it wrote more than TOOL_OUTPUT_READ_LIMIT
    bool outputCaptured = true;  // false when no file could take it: it went to the null device
    bool timedOut = false;       // it ran past its time limit and was ended
};

// Starts the program with the arguments and waits for the program itself to
// end (not for others that hold its output, such as a server it started),
// then takes what it wrote. When it has not ended limitMs after its launch,
// it is ended (only it, never a server it started) and the run timed out. Each argument reaches the tool as one argv entry.
// The tool inherits nothing of the caller but its output file (and standard
// input from the null device) and, on Windows, gets no console window. When
// no output file can be made, the tool runs all the same, its output going
// to the null device.
ToolRun launchWithin(const std::string& program, const ToolArguments& arguments, std::uint32_t limitMs);
// The same with TOOL_TIME_LIMIT_MS.
ToolRun launchAndWait(const std::string& program, const ToolArguments& arguments);

using ToolLauncher = std::function<ToolRun(const std::string&, const ToolArguments&)>;

// True when it ran and ended with exit code 0 within its time limit.
bool exitedWithZero(const ToolRun& run);

// Launches, then logs "successfully" or "error" on a line of its own and,
// after "successfully", the lines of toolReport.
ToolRun runTool(const std::string& program, const ToolArguments& arguments,
             const ToolLauncher& launch = launchAndWait);

// The log lines that tell what a started tool said: each non-empty line of
// its output as "adb: TEXT" (cut to TOOL_LINE_LIMIT characters, one CR
// before the line end dropped, other control characters shown as "?"), at
// most TOOL_LINES_LOGGED of them and "adb: ..." when it wrote more, or
// "adb: (output not captured)"; then "adb did not finish within 20 s and was
// ended", "adb exit code: N", "adb ended by signal N" or "adb exit code
// unknown" unless it exited with 0.
std::vector<std::string> toolReport(const ToolRun& run);

// The lines of a tool's output, each without its line end (LF or CR LF).
std::vector<std::string_view> outputLines(std::string_view output);

std::optional<std::string> buildCommandLine(std::string_view program, const ToolArguments& arguments);

// For the per-OS part: fills run.output from the tool's output file, up to
// TOOL_OUTPUT_READ_LIMIT, and tells whether there was more. read(buffer, size,
// offset) reads from that offset of the file and returns how much it read,
// 0 at the end, less than 0 on an error. Read a little at a time, so that
// only as much memory is taken as the tool wrote.
using OutputReader = std::function<long long(char*, std::size_t, std::size_t)>;
void readToolOutput(ToolRun& run, const OutputReader& read);
