#include "standard_output.h"

#include <climits>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex outputLock;

// A file takes a text at once; a pipe or terminal that reports room takes
// one of up to PIPE_BUF bytes without waiting.
bool takesATextAtOnce()
{
    struct stat output {};
    pollfd room{STDOUT_FILENO, POLLOUT, 0};
    return (fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode)) ||
           (poll(&room, 1, 0) == 1 && (room.revents & POLLOUT));
}

}  // namespace

void printNow(std::string_view text)
{
    const std::lock_guard<std::mutex> hold(outputLock);
    if (!takesATextAtOnce())
        return;
    text = text.substr(0, PIPE_BUF);
    if (write(STDOUT_FILENO, text.data(), text.size()) < 0)
        return;  // dropped: the log holds what matters
}
