#include "adb_location.h"
#include "settings.h"

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

// Looked up on PATH when run.
const std::string_view DEFAULT_ADB_PATH = "adb";

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
    return isStorableAdbPath(path) && storeSetting("ADBPath", path);
}
