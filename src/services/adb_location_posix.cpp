#include "adb_location.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

// Looked up on PATH when run.
const std::string_view DEFAULT_ADB_PATH = "adb";

namespace {

std::filesystem::path settingFile()
{
    // Relative base folders are ignored, as the XDG rules ask.
    std::filesystem::path base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome && configHome[0] == '/')
        base = configHome;
    else if (home && home[0] == '/')
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return base / "Corvend" / "Velmora" / "ADBPath";
}

}  // namespace

std::string loadAdbPath()
{
    const std::filesystem::path file = settingFile();
    if (file.empty())
        return {};
    std::ifstream in(file, std::ios::binary);
    // One byte more than the buffer tells a value that is too large.
    char buffer[ADB_PATH_VALUE_BYTES + 1] = {};
    in.read(buffer, sizeof buffer);
    return adbPathFromStoredValue(buffer, static_cast<std::size_t>(in.gcount()));
}

bool storeAdbPath(std::string_view path)
{
    if (!isStorableAdbPath(path))
        return false;
    const std::filesystem::path file = settingFile();
    if (file.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return false;
    // Write aside, then replace: a failed write never loses the stored path.
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(path.data(), static_cast<std::streamsize>(path.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, file, error);
    return !error;
}
