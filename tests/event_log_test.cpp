#include "services/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

TEST(FormatLogLine, PrefixThenMessageVerbatim)
{
    EXPECT_EQ(formatLogLine({0, 0, 0}, "Starting"), "[00:00:00] Starting\n");
    EXPECT_EQ(formatLogLine({23, 59, 59}, ""), "[23:59:59] \n");
    EXPECT_EQ(formatLogLine({9, 5, 7}, "100% %s %n %d"), "[09:05:07] 100% %s %n %d\n");
}

TEST(LogPathBeside, ReplacesFileNameWithLog)
{
    const char sep = DIRECTORY_SEPARATORS[0];
    const std::string dir = std::string("top") + sep + "dir with space" + sep;
    EXPECT_EQ(logPathBeside(dir + "velmora.exe"), dir + "log.txt");
    EXPECT_EQ(logPathBeside(dir), dir + "log.txt");
    EXPECT_EQ(logPathBeside("velmora"), "");
    EXPECT_EQ(logPathBeside(""), "");
}

TEST(LogPathBeside, NeverCutsAPathThatDoesNotFit)
{
    const char sep = DIRECTORY_SEPARATORS[0];
    // A folder whose log path is exactly as long as the OS allows, then one longer.
    const std::string fits = sep + std::string(MAX_PATH_CHARS - 9, 'd') + sep;
    ASSERT_EQ(logPathBeside(fits + "x").size(), MAX_PATH_CHARS);
    const std::string tooLong = sep + std::string(MAX_PATH_CHARS - 8, 'd') + sep;
    EXPECT_EQ(logPathBeside(tooLong + "x"), "");

    // Windows counts UTF-16 units, Linux bytes: "ł" is one unit and two bytes.
    std::string letters;
    for (std::size_t i = 0; i < MAX_PATH_CHARS - 9; ++i)
        letters += "\xc5\x82";
    const std::string path = sep + letters + sep + "x";
#ifdef _WIN32
    EXPECT_EQ(logPathBeside(path), sep + letters + sep + "log.txt");
#else
    EXPECT_EQ(logPathBeside(path), "");
#endif
}

TEST(ExecutablePath, NamesThisVeryProgram)
{
    const std::string path = executablePath();
    ASSERT_FALSE(path.empty());
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    file.read(magic, sizeof magic);
#ifdef _WIN32
    EXPECT_EQ(std::string(magic, 2), "MZ");
#else
    EXPECT_EQ(std::string(magic, 4), "\x7f" "ELF");
#endif
    EXPECT_EQ(logFilePath(), logPathBeside(path));
}

TEST(EventLog, ResetThenLinesInOrder)
{
    resetLog();
    writeLog({"Starting"});
    writeLog({"Path to ADB: ", "C:\\100% sure\\adb.exe"});
    writeLog({});
    writeLog({"adb connect ", "198.18.0.2", ":", "5555"});

    const std::vector<std::string> lines = readLogMessages();
    ASSERT_EQ(lines.size(), 4u) << readLog();
    EXPECT_EQ(lines[0], "Starting");
    EXPECT_EQ(lines[1], "Path to ADB: C:\\100% sure\\adb.exe");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "adb connect 198.18.0.2:5555");
    EXPECT_EQ(readLog().find("\r\r"), std::string::npos);
}

TEST(EventLog, ResetEmptiesTheFile)
{
    writeLog({"left over"});
    ASSERT_FALSE(readLog().empty());
    resetLog();
    EXPECT_TRUE(readLog().empty());
    std::ifstream file(logFilePath());
    EXPECT_TRUE(file.good()) << "reset must leave an empty file behind";
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(EventLog, LinesThatWouldPassTheLimitMoveTheLogAside)
{
    const std::string path = testDirectory() + "bounded-log.txt", older = testDirectory() + "bounded-log.1.txt";
    std::remove(path.c_str());
    std::remove(older.c_str());
    const std::string line = "0123456789abcdefghi\n";  // 20 bytes on Linux, 21 on Windows
    const std::uintmax_t onDisk = line.size() + std::string(LINE_END).size() - 1, limit = 3 * onDisk;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(appendLogLine(path, older, line, limit));
    EXPECT_EQ(fileText(path).size(), limit);
    EXPECT_TRUE(fileText(older).empty());

    // The fourth line starts a new log; the three before are the older one.
    EXPECT_TRUE(appendLogLine(path, older, "newest\n", limit));
    EXPECT_EQ(fileText(path), std::string("newest") + LINE_END);
    EXPECT_EQ(fileText(older).size(), limit);

    // Start-up empties the log and removes the older one.
    EXPECT_EQ(olderLogPath(logFilePath()).substr(logFilePath().size() - 7), "log.1.txt");
    writeLog({"left over"});
    // Moved aside, then dropped all the same: the line alone passes the limit.
    EXPECT_FALSE(appendLogLine(logFilePath(), olderLogPath(logFilePath()), line, 1));
    ASSERT_FALSE(fileText(olderLogPath(logFilePath())).empty());
    resetLog();
    EXPECT_TRUE(readLog().empty());
    EXPECT_FALSE(std::ifstream(olderLogPath(logFilePath())).good());
}

TEST(EventLog, ALogThatCannotMoveIsEmptiedForTheNewestLine)
{
    const std::string path = testDirectory() + "held-log.txt";
    const std::string nowhere = testDirectory() + "no such folder" + DIRECTORY_SEPARATORS[0] + "held-log.1.txt";
    std::remove(path.c_str());
    const std::uintmax_t limit = 2 * (std::string("line\n").size() + std::string(LINE_END).size() - 1);
    EXPECT_TRUE(appendLogLine(path, nowhere, "line\n", limit));
    EXPECT_TRUE(appendLogLine(path, nowhere, "line\n", limit));
    EXPECT_TRUE(appendLogLine(path, nowhere, "newest\n", limit));
    EXPECT_EQ(fileText(path), std::string("newest") + LINE_END);
}

std::vector<std::string> sunk;

TEST(EventLog, SinkTakesMessagesInsteadOfTheFile)
{
    resetLog();
    setLogSink([](const std::string& message) { sunk.push_back(message); });
    writeLog({"adb tcpip ", "5555"});
    writeLog({});
    setLogSink(nullptr);
    EXPECT_EQ(sunk, (std::vector<std::string>{"adb tcpip 5555", ""}));
    EXPECT_TRUE(readLog().empty());
    writeLog({"back to the file"});
    EXPECT_EQ(readLogMessages(), std::vector<std::string>{"back to the file"});
}

TEST(EventLog, LongMessageIsWrittenWhole)
{
    const std::string path(1000, 'p');
    resetLog();
    writeLog({"Path to ADB: ", path});
    const std::string log = readLog();
    EXPECT_TRUE(hasTimePrefix(log));
    EXPECT_EQ(log.substr(11), "Path to ADB: " + path + LINE_END);
}

}  // namespace
