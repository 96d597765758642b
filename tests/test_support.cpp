#include "test_support.h"

#include "services/event_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string testDirectory()
{
    const std::string exe = executablePath();
    return exe.substr(0, exe.find_last_of(DIRECTORY_SEPARATORS) + 1);
}

static std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string readLog()
{
    return readFile(logFilePath());
}

bool hasTimePrefix(const std::string& line)
{
    const std::string shape = "[00:00:00] ";
    if (line.size() < shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool isDigit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == '0' ? !isDigit : line[i] != shape[i])
            return false;
    }
    return std::stoi(line.substr(1, 2)) < 24 && std::stoi(line.substr(4, 2)) < 60 &&
           std::stoi(line.substr(7, 2)) < 61;
}

std::vector<std::string> readLogMessages()
{
    const std::string log = readLog();
    std::vector<std::string> messages;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find(LINE_END, start)) != std::string::npos;
         start = end + std::strlen(LINE_END)) {
        const std::string line = log.substr(start, end - start);
        EXPECT_TRUE(hasTimePrefix(line)) << line;
        messages.push_back(line.substr(std::min<std::size_t>(11, line.size())));
    }
    EXPECT_EQ(start, log.size()) << "text after the last line end: " << log.substr(start);
    return messages;
}

std::string fakeAdbPath()
{
    return testDirectory() + "fake_adb" + EXECUTABLE_SUFFIX;
}

std::string prepareFakeAdb(const std::string& name, int sleepMs)
{
    const std::string record = testDirectory() + name + ".record";
    std::remove(record.c_str());
    setEnvironment("VELMORA_FAKE_ADB_RECORD", record);
    setEnvironment("VELMORA_FAKE_ADB_SLEEP_MS", std::to_string(sleepMs));
    return record;
}

void setFakeAdbBehaviour(const std::string& steps)
{
    const std::string script = testDirectory() + "fake_adb.script";
    std::ofstream(script, std::ios::binary) << steps;
    setEnvironment("VELMORA_FAKE_ADB_SCRIPT", script);
}

std::vector<FakeAdbRun> readFakeAdbRuns(const std::string& record)
{
    std::vector<FakeAdbRun> runs;
    std::ifstream file(record, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("run ", 0) == 0)
            runs.push_back({line.substr(4), {}, false});
        else if (runs.empty())
            ADD_FAILURE() << "record starts with " << line;
        else if (line.rfind("arg ", 0) == 0)
            runs.back().arguments.push_back(line.substr(4));
        else if (line == "done")
            runs.back().done = true;
    }
    return runs;
}

std::string copyFakeAdbInto(const std::string& folder)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const std::string copy = folder + DIRECTORY_SEPARATORS[0] + "adb" + EXECUTABLE_SUFFIX;
    // Replaced by hand: overwrite_existing fails on an existing file with mingw.
    fs::remove(copy);
    fs::copy_file(fakeAdbPath(), copy);
    return copy;
}
