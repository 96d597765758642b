#include "single_copy.h"

#include "services/settings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

const int ALREADY_RUNNING_EXIT_CODE = 1;

namespace {

// velmora.lock beside the setting: copies that share a setting exclude each
// other. A running copy holds it exclusively, an ending one shared.
int lockFile = -1;

}  // namespace

bool becomeOnlyCopy()
{
    const std::filesystem::path path = settingFilePath("velmora.lock");
    std::error_code error;
    if (!path.empty())
        std::filesystem::create_directories(path.parent_path(), error);
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;  // nowhere to keep a lock: nothing to exclude with
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(SINGLE_COPY_WAIT_MS);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lockFile = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            close(fd);
            return true;
        }
        // A shared hold is possible only beside an ending copy.
        const bool ending = flock(fd, LOCK_SH | LOCK_NB) == 0;
        if (ending)
            flock(fd, LOCK_UN);
        if (!ending || std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "Velmora is already running\n");
            close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void beginEnding()
{
    if (lockFile >= 0)
        flock(lockFile, LOCK_SH | LOCK_NB);
}
