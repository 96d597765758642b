#include "test_support.h"

#include <cstdlib>
#include <filesystem>

void setEnvironment(const char* name, const std::string& value)
{
    setenv(name, value.c_str(), 1);
}

void isolateAdbSetting()
{
    setEnvironment("XDG_CONFIG_HOME", testDirectory() + "config");
}

void forgetAdbSetting()
{
    isolateAdbSetting();
    std::filesystem::remove(testDirectory() + "config/Corvend/Velmora/ADBPath");
}

std::string installFakeAdbAsDefault()
{
    // The default is plain "adb", found on PATH.
    const std::string folder = testDirectory() + "default-adb";
    const std::string copy = copyFakeAdbInto(folder);
    const char* path = std::getenv("PATH");
    setEnvironment("PATH", folder + ":" + (path ? path : "/usr/bin:/bin"));
    return copy;
}
