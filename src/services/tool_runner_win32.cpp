#include "tool_runner.h"

#include <windows.h>

bool launchAndWait(const std::string& program, const ToolArguments& arguments)
{
    const std::optional<std::string> commandLine = buildCommandLine(program, arguments);
    if (!commandLine)
        return false;
    std::vector<char> writable(commandLine->begin(), commandLine->end());
    writable.push_back('\0');

    // No inherited handles and no creation flags: a console tool such as adb
    // gets a console window of its own while it runs.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
