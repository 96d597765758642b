#include "tray_window.h"

#include "intake/network_watch.h"
#include "resource_ids.h"
#include "services/adb_location.h"
#include "services/event_log.h"
#include "services/standard_output.h"
#include "services/tool_runner.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace {

int quitSignals = -1;       // signalfd of SIGINT, SIGTERM and SIGHUP
bool awaitingPath = false;  // "Set ADB Path" waits for the next line

constexpr std::size_t LONGEST_LINE = 64 * 1024;

// Never waits: a paused terminal or a pipe nobody reads must hold up neither
// the menu nor the next command, nor the quit signals. A line that cannot be
// written at once is dropped; the log holds what matters.
void say(const std::string& text)
{
    printNow(text.substr(0, PIPE_BUF - 1) + "\n");
}

}  // namespace

void showOutcome(const Verdict& verdict)
{
    for (const std::string& line : describeOutcome(verdict, localClockTime()).lines)
        say(line);
}

namespace {

void viewLog()
{
    const std::string path = logFilePath();
    if (path.empty() || access(path.c_str(), R_OK) != 0)
        return;
    // Not waited for here: the menu keeps answering while a viewer starts.
    // Without one (no desktop, no xdg-open) the user is told where it is.
    std::thread([path] {
        const ToolRun run = launchAndWait("xdg-open", {path});
        if (!exitedWithZero(run))
            say("The log is " + path);
    }).detach();
}

void chooseAdbPath(const std::string& line)
{
    if (line.empty()) {
        say("Cancelled.");
        return;
    }
    // Must exist, as in the file dialog; stored as a full path.
    std::error_code error;
    const std::filesystem::path chosen = std::filesystem::absolute(line, error);
    if (error || !std::filesystem::is_regular_file(chosen, error)) {
        say("No such file: " + line);
        return;
    }
    say(storeAdbPath(chosen.string()) ? "ADB path set to " + chosen.string()
                                      : "Could not store the ADB path " + chosen.string());
}

// False when the line asks to quit.
bool handleLine(const std::string& line)
{
    if (awaitingPath) {
        awaitingPath = false;
        chooseAdbPath(line);
        return true;
    }
    switch (menuCommandFromText(line)) {
    case IDM_VIEW_LOG:
        viewLog();
        break;
    case IDM_SET_ADB_PATH:
        awaitingPath = true;
        say("Path of adb (an empty line cancels):");
        break;
    case IDM_ABOUT:
        say(ABOUT_TEXT);
        break;
    case IDM_EXIT:
        return false;
    default:
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            say("Commands: View log, Set ADB Path, About, Exit");
    }
    return true;
}

}  // namespace

bool createTray(void*)
{
    // Standard streams that are not open would otherwise be taken by the
    // program's own sockets and files.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDWR);
    }
    // SIGINT, SIGTERM and SIGHUP (the terminal closed) are read as the quit
    // message; blocked before any thread starts, so no thread is interrupted
    // by them.
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    quitSignals = signalfd(-1, &quit, SFD_CLOEXEC);
    if (quitSignals < 0)
        return false;
    watchNetwork(nullptr);
    say("Velmora is running; its log is " + logFilePath() +
        ". Type View log, Set ADB Path, About or Exit; Ctrl+C ends it.");
    return true;
}

void removeTray()
{
    close(quitSignals);
    quitSignals = -1;
    stopWatchingNetwork();
}

int runMessageLoop()
{
    pollfd sources[3] = {{quitSignals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}, {networkWatchDescriptor(), POLLIN, 0}};
    std::string pending;
    for (;;) {
        followNetworkWhenSettled(NetworkClock::now());
        // Nothing to do until something happens, or a network change settles.
        if (poll(sources, 3, msUntilNetworkSettled(NetworkClock::now())) < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        if (sources[0].revents)
            return 0;
        if (sources[2].revents)
            readNetworkChanges();
        if (!sources[1].revents)
            continue;
        char chunk[4096];
        const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            sources[1].fd = -1;  // end of input: keep running, quit by signal
            continue;
        }
        pending.append(chunk, static_cast<std::size_t>(count));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!handleLine(line))
                return 0;
        }
        if (pending.size() > LONGEST_LINE)
            pending.clear();
    }
}
