#include "event_log.h"
#include "wide_text.h"

#include <algorithm>
#include <cstdio>
#include <io.h>
#include <windows.h>

const std::size_t MAX_PATH_CHARS = MAX_PATH - 1;
const std::string_view DIRECTORY_SEPARATORS = "\\/";

std::size_t pathLength(std::string_view path)
{
    return toUtf16(path).size();
}

std::string executablePath()
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    // A full buffer means the path was cut.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return toUtf8(WideStringView(buffer, length));
}

ClockTime localClockTime()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond};
}

Appended appendToFile(const std::string& path, const std::string& line, std::uintmax_t limit)
{
    // Text mode writes each line feed as CR LF and every other byte as it is.
    std::FILE* file = _wfopen(toUtf16(path).c_str(), L"a");
    if (!file)
        return Appended::Failed;
    const std::uintmax_t onDisk = line.size() + static_cast<std::uintmax_t>(std::count(line.begin(), line.end(), '\n'));
    const long long size = _filelengthi64(_fileno(file));
    if (size < 0 || static_cast<std::uintmax_t>(size) + onDisk > limit) {
        std::fclose(file);
        return size < 0 ? Appended::Failed : Appended::Full;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written ? Appended::Yes : Appended::Failed;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExW(toUtf16(from).c_str(), toUtf16(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool emptyFile(const std::string& path)
{
    std::FILE* file = _wfopen(toUtf16(path).c_str(), L"w");
    return file && std::fclose(file) == 0;
}

void removeFile(const std::string& path)
{
    DeleteFileW(toUtf16(path).c_str());
}
