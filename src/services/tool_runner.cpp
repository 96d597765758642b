#include "tool_runner.h"

#include "event_log.h"

#include <algorithm>

namespace {

// The C runtime's rules: backslashes are literal unless they precede a double
// quote, so those are doubled, and an embedded quote is escaped.
void appendArgument(std::string& line, std::string_view argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        line.append(argument);
        return;
    }
    line.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        line.push_back(c);
        backslashes = 0;
    }
    line.append(backslashes * 2, '\\');
    line.push_back('"');
}

}  // namespace

std::optional<std::string> buildCommandLine(std::string_view program, const ToolArguments& arguments)
{
    // Windows reads the program name up to the next quote, without escapes.
    if (program.empty() || program.find('"') != std::string_view::npos)
        return std::nullopt;
    std::string line = "\"";
    line.append(program);
    line.push_back('"');
    for (const std::string& argument : arguments) {
        line.push_back(' ');
        appendArgument(line, argument);
    }
    return line;
}

std::vector<std::string_view> outputLines(std::string_view output)
{
    std::vector<std::string_view> lines;
    while (!output.empty()) {
        const std::size_t end = std::min(output.find('\n'), output.size());
        std::string_view line = output.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        output.remove_prefix(std::min(end + 1, output.size()));
    }
    return lines;
}

std::vector<std::string> toolReport(const ToolRun& run)
{
    std::vector<std::string> lines;
    if (!run.outputCaptured)
        lines.push_back("adb: (output not captured)");
    bool more = run.outputCut;
    for (const std::string_view line : outputLines(run.output)) {
        if (line.empty())
            continue;
        if (lines.size() == TOOL_LINES_LOGGED) {
            more = true;
            break;
        }
        std::string text = "adb: ";
        for (const char c : line.substr(0, TOOL_LINE_LIMIT)) {
            const auto byte = static_cast<unsigned char>(c);
            text.push_back(byte < 0x20 || byte == 0x7f ? '?' : c);
        }
        lines.push_back(std::move(text));
    }
    if (more)
        lines.push_back("adb: ...");
    if (run.timedOut)
        lines.push_back("adb did not finish within " + std::to_string(TOOL_TIME_LIMIT_MS / 1000) + " s and was ended");
    else if (run.signal != 0)
        lines.push_back("adb ended by signal " + std::to_string(run.signal));
    else if (!run.exitCodeKnown)
        lines.push_back("adb exit code unknown");
    else if (run.exitCode != 0)
        lines.push_back("adb exit code: " + std::to_string(run.exitCode));
    return lines;
}

void readToolOutput(ToolRun& run, const OutputReader& read)
{
    // One byte past the limit tells whether it wrote more.
    char chunk[4096];
    run.output.clear();
    while (run.output.size() <= TOOL_OUTPUT_READ_LIMIT) {
        const std::size_t wanted = std::min(sizeof chunk, TOOL_OUTPUT_READ_LIMIT + 1 - run.output.size());
        const long long count = read(chunk, wanted, run.output.size());
        if (count <= 0)
            break;
        run.output.append(chunk, std::min(static_cast<std::size_t>(count), wanted));
    }
    run.outputCut = run.output.size() > TOOL_OUTPUT_READ_LIMIT;
    if (run.outputCut)
        run.output.resize(TOOL_OUTPUT_READ_LIMIT);
}

bool exitedWithZero(const ToolRun& run)
{
    return run.started && !run.timedOut && run.exitCodeKnown && run.signal == 0 && run.exitCode == 0;
}

ToolRun launchAndWait(const std::string& program, const ToolArguments& arguments)
{
    return launchWithin(program, arguments, TOOL_TIME_LIMIT_MS);
}

ToolRun runTool(const std::string& program, const ToolArguments& arguments, const ToolLauncher& launch)
{
    ToolRun run = launch(program, arguments);
    writeLog({run.started ? "successfully" : "error"});
    if (run.started) {
        for (const std::string& line : toolReport(run))
            writeLog({line});
    }
    return run;
}
