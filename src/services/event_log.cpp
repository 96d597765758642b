#include "event_log.h"

#include <cstdio>
#include <mutex>

namespace {

constexpr std::string_view LOG_FILE_NAME = "log.txt";
constexpr std::string_view OLDER_LOG_FILE_NAME = "log.1.txt";

LogSink logSink = nullptr;

// The command worker and the main thread (listeners that come and go) both
// write: this keeps their lines whole and apart. Held for one line only, so
// nobody waits here for a running tool.
std::mutex logLock;

}  // namespace

std::string twoDigits(int number)
{
    // Not printf: on Windows its formatting code alone is some 25 KiB of the program.
    const int n = number < 0 || number > 99 ? 0 : number;
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

std::string formatLogLine(ClockTime time, std::string_view message)
{
    std::string line = "[" + twoDigits(time.hour) + ":" + twoDigits(time.minute) + ":" + twoDigits(time.second) + "] ";
    line.append(message);
    line.push_back('\n');
    return line;
}

std::string logPathBeside(std::string_view executable)
{
    const auto cut = executable.find_last_of(DIRECTORY_SEPARATORS);
    if (executable.empty() || cut == std::string_view::npos)
        return {};
    std::string path(executable.substr(0, cut + 1));
    path.append(LOG_FILE_NAME);
    if (pathLength(path) > MAX_PATH_CHARS)
        return {};
    return path;
}

std::string logFilePath()
{
    return logPathBeside(executablePath());
}

std::string olderLogPath(const std::string& logPath)
{
    return logPath.substr(0, logPath.size() - LOG_FILE_NAME.size()).append(OLDER_LOG_FILE_NAME);
}

void resetLog()
{
    const std::string path = logFilePath();
    if (path.empty())
        return;
    const std::lock_guard<std::mutex> hold(logLock);
    emptyFile(path);
    removeFile(olderLogPath(path));
}

bool appendLogLine(const std::string& path, const std::string& olderPath, const std::string& line,
                   std::uintmax_t limit)
{
    const Appended appended = appendToFile(path, line, limit);
    if (appended != Appended::Full)
        return appended == Appended::Yes;
    // A viewer may hold the file so that it cannot move: the older lines are
    // dropped then rather than the newest, and the bound holds all the same.
    if (!replaceFile(path, olderPath) && !emptyFile(path))
        return false;
    return appendToFile(path, line, limit) == Appended::Yes;
}

void setLogSink(LogSink sink)
{
    logSink = sink;
}

void writeLog(std::initializer_list<std::string_view> pieces)
{
    std::string message;
    for (std::string_view piece : pieces)
        message.append(piece);
    const std::lock_guard<std::mutex> hold(logLock);
    if (logSink) {
        logSink(message);
        return;
    }

    const std::string path = logFilePath();
    if (!path.empty())
        appendLogLine(path, olderLogPath(path), formatLogLine(localClockTime(), message), LOG_LIMIT);
}
