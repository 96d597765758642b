#include "fake_adb.h"

#include <dirent.h>
#include <fstream>
#include <spawn.h>
#include <string>

extern char** environ;

unsigned long startOutputHolder(const char* self, long ms)
{
    const std::string duration = std::to_string(ms);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--hold"), const_cast<char*>(duration.c_str()),
                    nullptr};
    pid_t child = 0;
    return posix_spawn(&child, self, nullptr, nullptr, argv, environ) == 0 ? static_cast<unsigned long>(child) : 0;
}

std::string inheritanceReport()
{
    std::string report;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "0" && name != "1" && name != "2" &&
                name != std::to_string(dirfd(folder)))
                report += "inherited " + name + "\n";
        }
        closedir(folder);
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) == 0)
            report += "blocked " + line.substr(line.find_first_not_of(" \t", 7)) + "\n";
        else if (line.rfind("SigIgn:", 0) == 0)
            report += "ignored " + line.substr(line.find_first_not_of(" \t", 7)) + "\n";
    }
    return report;
}
