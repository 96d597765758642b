// The event log: "log.txt" beside the executable, emptied at start-up and
// appended one line per event. It never grows past LOG_LIMIT: the line that
// would take it there first moves it to "log.1.txt" (replacing that), so at
// most about twice the limit is on disk and the newest lines are in log.txt.
// The file is opened and closed for every line, so it can be read at any
// time. Lines written from several threads at once stay whole and apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

constexpr std::uintmax_t LOG_LIMIT = 1024 * 1024;  // bytes of log.txt on disk

struct ClockTime {
    int hour;
    int minute;
    int second;
};

// A number from 0 to 99 in two digits ("07"); anything else as "00".
std::string twoDigits(int number);

// "[HH:MM:SS] " + message + "\n"; the message is written as it is, never
// used as a format.
std::string formatLogLine(ClockTime time, std::string_view message);

// The executable's folder with "log.txt" appended, or the empty text when
// that path would not fit the OS's limit (a cut path would name another file).
std::string logPathBeside(std::string_view executablePath);

// Worked out afresh for every write; empty when it cannot be had whole.
std::string logFilePath();
// "log.1.txt" beside the log, where its older lines go.
std::string olderLogPath(const std::string& logPath);

// Creates or empties the log and removes the older one. A log that cannot be
// opened is ignored.
void resetLog();

// Appends the line to the file at path, first moving the file to olderPath
// when the line would take it past limit bytes; when it cannot be moved (a
// viewer holds it), the file is emptied instead, so that the newest lines
// are kept. False when the line is lost all the same.
bool appendLogLine(const std::string& path, const std::string& olderPath, const std::string& line,
                   std::uintmax_t limit);

// Appends one line made of the pieces joined without separators. A line that
// cannot be written is lost silently; a long message is written whole.
void writeLog(std::initializer_list<std::string_view> pieces);

// Sends every message to sink instead of the file (tests, the fuzzer);
// nullptr restores the file. Set while no other thread writes.
using LogSink = void (*)(const std::string& message);
void setLogSink(LogSink sink);

// Provided by the per-OS part. Paths are UTF-8 on every OS.
extern const std::size_t MAX_PATH_CHARS;            // longest usable path
extern const std::string_view DIRECTORY_SEPARATORS;
std::size_t pathLength(std::string_view path);      // as the OS counts it: UTF-16 units on Windows
std::string executablePath();                       // empty when not had whole
ClockTime localClockTime();
// Appends the line, opening and closing the file; on Windows in text mode, so
// that its line end reaches the file as CR LF. Full, and nothing written,
// when the file would then hold more than limit bytes.
enum class Appended { Yes, Full, Failed };
Appended appendToFile(const std::string& path, const std::string& line, std::uintmax_t limit);
// Renames from to to, replacing to; false when it cannot.
bool replaceFile(const std::string& from, const std::string& to);
// Creates the file, or empties it; false when it cannot.
bool emptyFile(const std::string& path);
void removeFile(const std::string& path);
