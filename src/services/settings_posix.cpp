#include "settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

const char SETTING_LIST_SEPARATOR = '\n';

std::string settingFilePath(std::string_view name)
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
    return base / "Corvend" / "Velmora" / name;
}

std::string loadSetting(std::string_view name, std::size_t limit)
{
    const std::string path = settingFilePath(name);
    std::ifstream in(path, std::ios::binary);
    std::string text;
    for (std::istreambuf_iterator<char> byte(in), end; byte != end && text.size() <= limit; ++byte)
        text.push_back(*byte);
    return in.bad() || text.size() > limit ? std::string() : text;
}

bool storeSetting(std::string_view name, std::string_view text)
{
    const std::filesystem::path file = settingFilePath(name);
    if (file.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return false;
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, file, error);
    return !error;
}
