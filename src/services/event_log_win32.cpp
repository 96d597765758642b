#include "event_log.h"

#include <windows.h>

const std::size_t MAX_PATH_CHARS = MAX_PATH - 1;
const std::string_view DIRECTORY_SEPARATORS = "\\/";

std::string executablePath()
{
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    // A full buffer means the path was cut.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(buffer, length);
}

ClockTime localClockTime()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond};
}
