// Reads or writes the stored adb path for shell tests:
//   adb_setting_probe load          prints [PATH]
//   adb_setting_probe store PATH    exit code 0 when stored
#include "services/adb_location.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "load") == 0) {
        std::printf("[%s]\n", loadAdbPath().c_str());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "store") == 0)
        return storeAdbPath(argv[2]) ? 0 : 1;
    std::fprintf(stderr, "usage: adb_setting_probe load | store PATH\n");
    return 2;
}
