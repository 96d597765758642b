#include "adb_location.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

// Looked up on PATH when run.
const std::string_view DEFAULT_ADB_PATH = "adb";

std::string settingFilePath(std::string_view name)
{
    // Relative base folders are ignored, as the XDG rules ask.
    std::filesystem::path base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome && configHome[0] == '/')
        base = configHome;
    else if (home && home[0] == '/')
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return base / "Corvend" / "Velmora" / name;
}

std::string loadAdbPath()
{
    const std::filesystem::path file = settingFilePath("ADBPath");
    if (file.empty())
        return {};
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    // Room for a line end after the value, and one byte more, which tells a
    // value that is too large.
    char buffer[ADB_PATH_VALUE_CHARS + 3] = {};
    std::size_t count = 0;
    for (ssize_t got; count < sizeof buffer && (got = read(fd, buffer + count, sizeof buffer - count)) > 0;)
        count += static_cast<std::size_t>(got);
    close(fd);
    // `echo PATH > ADBPath` ends the value with a line end: not part of it.
    if (count > 0 && buffer[count - 1] == '\n') {
        --count;
        if (count > 0 && buffer[count - 1] == '\r')
            --count;
    }
    return adbPathFromStoredValue(buffer, count);
}

bool storeAdbPath(std::string_view path)
{
    if (!isStorableAdbPath(path))
        return false;
    const std::filesystem::path file = settingFilePath("ADBPath");
    if (file.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return false;
    // Write aside, then replace: a failed write never loses the stored path.
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(path.data(), static_cast<std::streamsize>(path.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, file, error);
    return !error;
}
