#include "event_log.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const std::size_t MAX_PATH_CHARS = PATH_MAX - 1;
const std::string_view DIRECTORY_SEPARATORS = "/";

std::size_t pathLength(std::string_view path)
{
    return path.size();
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

ClockTime localClockTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

Appended appendToFile(const std::string& path, const std::string& line, std::uintmax_t limit)
{
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Appended::Failed;
    struct stat file {};
    Appended result = Appended::Failed;
    if (fstat(fd, &file) == 0 && static_cast<std::uintmax_t>(file.st_size) + line.size() > limit)
        result = Appended::Full;
    else if (write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()))
        result = Appended::Yes;
    close(fd);
    return result;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool emptyFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && close(fd) == 0;
}

void removeFile(const std::string& path)
{
    unlink(path.c_str());
}
