#include "tool_runner.h"

#include "event_log.h"

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

bool runTool(const std::string& program, const ToolArguments& arguments, const ToolLauncher& launch)
{
    const bool started = launch(program, arguments);
    writeLog({started ? "successfully" : "error"});
    return started;
}
