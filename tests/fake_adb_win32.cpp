#include "fake_adb.h"

#include <windows.h>

#include <string>

unsigned long startOutputHolder(const char* self, long ms)
{
    std::string commandLine = "\"" + std::string(self) + "\" --hold " + std::to_string(ms);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

std::string inheritanceReport()
{
    // An inherited handle keeps its "inherit" flag; the program's own
    // handles do not have it. (Under Wine, getsockopt cannot tell an
    // inherited socket handle from any other.)
    const HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                               GetStdHandle(STD_ERROR_HANDLE)};
    std::string report;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (!GetHandleInformation(handle, &flags) || !(flags & HANDLE_FLAG_INHERIT))
            continue;
        if (handle != standard[0] && handle != standard[1] && handle != standard[2])
            report += "inherited " + std::to_string(value) + "\n";
    }
    return report;
}
