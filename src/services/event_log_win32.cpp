#include "event_log.h"

#include <cstdio>
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

bool appendToFile(const std::string& path, const std::string& line)
{
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return false;
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written;
}
