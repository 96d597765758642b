// Helpers shared by the unit tests: the log as lines, the stand-in adb and
// the stored setting, kept inside the build tree.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
constexpr const char* LINE_END = "\r\n";  // the log is a text-mode stream
constexpr const char* EXECUTABLE_SUFFIX = ".exe";
#else
constexpr const char* LINE_END = "\n";
constexpr const char* EXECUTABLE_SUFFIX = "";
#endif

// The folder of the test executable, ending in a separator.
std::string testDirectory();

// The whole log file as written, bytes unchanged.
std::string readLog();

// "[HH:MM:SS] " with digits in range where they belong.
bool hasTimePrefix(const std::string& line);

// The messages of the log's lines, without their time prefix. A line without
// a prefix or without its line end fails the calling test.
std::vector<std::string> readLogMessages();

// One run of the stand-in adb.
struct FakeAdbRun {
    std::string executable;
    std::vector<std::string> arguments;
    bool done = false;  // ran to its end
};

std::string fakeAdbPath();

// Makes the stand-in record into a new, empty file and sleep sleepMs; returns
// the record's path.
std::string prepareFakeAdb(const std::string& name, int sleepMs = 0);
std::vector<FakeAdbRun> readFakeAdbRuns(const std::string& record);
// What the stand-in does when it runs (the steps of fake_adb.cpp); "" for
// nothing.
void setFakeAdbBehaviour(const std::string& steps);

// A copy of the stand-in at folder/adb (plus the executable suffix).
std::string copyFakeAdbInto(const std::string& folder);

// Per OS:
void setEnvironment(const char* name, const std::string& value);
// Keeps the stored adb path of these tests away from the user's own.
void isolateAdbSetting();
void forgetAdbSetting();
// Puts the stand-in where the default adb path finds it; returns the path that
// the stand-in reports as its own when it runs from there.
std::string installFakeAdbAsDefault();
