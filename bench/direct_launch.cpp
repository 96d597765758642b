// The yardstick for Velmora's launch latency: starts a program directly, the
// way Velmora does (posix_spawn, or CreateProcess on Windows), COUNT times,
// printing the time just before each launch in microseconds since 1970.
//   direct_launch PROGRAM COUNT
#include "services/tool_runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    for (int i = 0; i < std::atoi(argv[2]); ++i) {
        using namespace std::chrono;
        const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
        std::printf("%lld\n", static_cast<long long>(now));
        if (!launchAndWait(argv[1], {"tcpip", "5555"}).started)
            return 1;
    }
    return 0;
}
