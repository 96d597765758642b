#include "settings.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

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
    // Not inherited by a tool that another thread starts meanwhile.
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    // One byte more than the limit tells a value that is too large.
    std::string text(limit + 1, '\0');
    std::size_t count = 0;
    for (ssize_t got; count < text.size() && (got = read(fd, &text[count], text.size() - count)) > 0;)
        count += static_cast<std::size_t>(got);
    close(fd);
    text.resize(count);
    return count > limit ? std::string() : text;
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
    // Not inherited by a tool that another thread starts meanwhile.
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    for (ssize_t wrote; written < text.size() && (wrote = write(fd, text.data() + written, text.size() - written)) > 0;)
        written += static_cast<std::size_t>(wrote);
    if (close(fd) != 0 || written != text.size()) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    std::filesystem::rename(temporary, file, error);
    return !error;
}
