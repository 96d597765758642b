#include "app_main.h"

#include "services/adb_location.h"
#include "services/settings.h"
#include "services/event_log.h"
#include "version.h"

#include <cstdio>
#include <string>
#include <string_view>

int main(int argc, char** argv)
{
    const std::string_view option = argc == 2 ? argv[1] : "";
    if (option == "--help") {
        std::printf("Velmora %s: switches Android phones between USB and network debugging with adb when\n"
                    "they ask for it by a datagram to 239.123.126.129, port 2904, on any IPv4 adapter.\n\n"
                    "It runs in the foreground; type View log, Set ADB Path, About or Exit.\n"
                    "Ctrl+C, SIGTERM or SIGHUP end it too.\n\n"
                    "Log:     %s\n"
                    "Setting: %s (the path of adb; \"%s\" on PATH when there is none)\n",
                    VELMORA_VERSION, logFilePath().c_str(), settingFilePath("ADBPath").c_str(),
                    std::string(DEFAULT_ADB_PATH).c_str());
        return 0;
    }
    if (option == "--version") {
        std::printf("Velmora %s\n", VELMORA_VERSION);
        return 0;
    }
    if (argc > 1) {
        std::fprintf(stderr, "usage: velmora [--help | --version]\n");
        return 2;
    }
    return appMain(nullptr);
}
