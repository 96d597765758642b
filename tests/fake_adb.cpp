// Stand-in for adb in tests. Appends to the file named by
// VELMORA_FAKE_ADB_RECORD what it was started as:
//   run <its own executable path>
//   time <microseconds since 1970>
//   arg <argument>          one line per argv entry after the program
// then sleeps VELMORA_FAKE_ADB_SLEEP_MS milliseconds, if set, does what the
// file named by VELMORA_FAKE_ADB_SCRIPT says, one step a line:
//   stdout TEXT | stderr TEXT   writes the text and a line end there
//   flood BYTES                 writes that many bytes of 100-character lines
//   background MS               leaves a copy running that holds its output MS ms
//                               (recorded as "holder <process id>")
//   report                      records what it inherited (see fake_adb.h)
//   exit N                      ends with exit code N
// and appends
//   done
//   ended <microseconds since 1970>
#include "fake_adb.h"
#include "services/event_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

bool append(const char* record, const std::string& text)
{
    std::FILE* file = std::fopen(record, "ab");
    if (!file)
        return false;
    std::fputs(text.c_str(), file);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace std::chrono;
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        std::this_thread::sleep_for(milliseconds(std::atol(argv[2])));
        return 0;
    }
    std::vector<std::string> steps;
    const char* script = std::getenv("VELMORA_FAKE_ADB_SCRIPT");
    {
        std::ifstream file(script ? script : "");
        for (std::string step; std::getline(file, step);)
            steps.push_back(step);
    }
    // Taken before this program opens anything else of its own (and only
    // when asked: under Wine it takes a good half second).
    const bool report = std::find(steps.begin(), steps.end(), "report") != steps.end();
    const std::string inherited = report ? inheritanceReport() : "";

    const char* record = std::getenv("VELMORA_FAKE_ADB_RECORD");
    if (!record)
        return 2;
    const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    std::string started = "run " + executablePath() + "\ntime " + std::to_string(now) + "\n";
    for (int i = 1; i < argc; ++i)
        started += "arg " + std::string(argv[i]) + "\n";
    if (!append(record, started))
        return 3;

    if (const char* sleep = std::getenv("VELMORA_FAKE_ADB_SLEEP_MS"))
        std::this_thread::sleep_for(milliseconds(std::atol(sleep)));

    int exitCode = 0;
    for (const std::string& step : steps) {
        const std::string word = step.substr(0, step.find(' '));
        const std::string rest = step.size() > word.size() ? step.substr(word.size() + 1) : "";
        if (word == "stdout" || word == "stderr") {
            std::fprintf(word == "stdout" ? stdout : stderr, "%s\n", rest.c_str());
            std::fflush(nullptr);
        } else if (word == "flood") {
            const std::string line = std::string(99, 'x') + "\n";
            for (long left = std::atol(rest.c_str()); left > 0; left -= 100)
                std::fwrite(line.data(), 1, left < 100 ? static_cast<std::size_t>(left) : 100, stdout);
            std::fflush(stdout);
        } else if (word == "background") {
            append(record, "holder " + std::to_string(startOutputHolder(argv[0], std::atol(rest.c_str()))) + "\n");
        } else if (word == "report") {
            append(record, inherited);
        } else if (word == "exit") {
            exitCode = std::atoi(rest.c_str());
        }
    }

    const auto end = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return append(record, "done\nended " + std::to_string(end) + "\n") ? exitCode : 3;
}
