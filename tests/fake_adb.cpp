// Stand-in for adb in tests. Appends to the file named by
// VELMORA_FAKE_ADB_RECORD what it was started as:
//   run <its own executable path>
//   time <microseconds since 1970>
//   arg <argument>          one line per argv entry after the program
// then sleeps VELMORA_FAKE_ADB_SLEEP_MS milliseconds, if set, and appends
//   done
#include "services/event_log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    const char* record = std::getenv("VELMORA_FAKE_ADB_RECORD");
    if (!record)
        return 2;
    std::FILE* file = std::fopen(record, "ab");
    if (!file)
        return 3;
    using namespace std::chrono;
    const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    std::fprintf(file, "run %s\ntime %lld\n", executablePath().c_str(), static_cast<long long>(now));
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, "arg %s\n", argv[i]);
    std::fclose(file);

    if (const char* sleep = std::getenv("VELMORA_FAKE_ADB_SLEEP_MS"))
        std::this_thread::sleep_for(milliseconds(std::atol(sleep)));

    file = std::fopen(record, "ab");
    if (!file)
        return 3;
    std::fputs("done\n", file);
    std::fclose(file);
    return 0;
}
