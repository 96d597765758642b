#include "tool_runner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Waits until the child ends or limitMs have passed; true when it ended (and
// can be reaped without waiting).
bool endsWithin(pid_t child, std::uint32_t limitMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(limitMs);
    const auto left = [&] { return ceil<milliseconds>(deadline - steady_clock::now()).count(); };
    const int process = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (process < 0) {
        // Kernels before 5.3 have no process descriptors: ask now and then.
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0) {
            if (left() <= 0)
                return false;
            std::this_thread::sleep_for(milliseconds(5));
        }
        return true;
    }
    pollfd ended{process, POLLIN, 0};
    int ready;
    while ((ready = poll(&ended, 1, static_cast<int>(std::max<long long>(left(), 0)))) < 0 && errno == EINTR) {
    }
    close(process);
    return ready != 0;
}

}  // namespace

ToolRun launchWithin(const std::string& program, const ToolArguments& arguments, std::uint32_t limitMs)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The output goes to a file in memory, not a pipe: a tool that writes a
    // lot never waits for us, and a server it leaves behind holding the file
    // keeps nobody waiting for an end of file. Without one (no descriptor
    // left) it goes to the null device. Every other descriptor of the program
    // is close-on-exec.
    const int output = memfd_create("velmora-tool-output", MFD_CLOEXEC);
    // No signal blocked and every one at its default: the program blocks
    // SIGINT and SIGTERM for its own handling and ignores SIGPIPE.
    sigset_t noSignals, allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // A tool started with other descriptors or signals would not be this launch.
    const bool prepared =
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        (output >= 0 ? posix_spawn_file_actions_adddup2(&actions, output, 1)
                     : posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0)) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, 1, 2) == 0 &&
        posix_spawnattr_setsigmask(&attributes, &noSignals) == 0 &&
        posix_spawnattr_setsigdefault(&attributes, &allSignals) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;

    ToolRun run;
    pid_t child = 0;
    run.started = prepared && posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    run.outputCaptured = output >= 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (run.started) {
        // Only the tool itself is ended: a server it started has a process of its own.
        run.timedOut = !endsWithin(child, limitMs);
        if (run.timedOut)
            kill(child, SIGKILL);
        int status = 0;
        pid_t waited;
        while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        run.exitCodeKnown = waited == child && (WIFSIGNALED(status) || WIFEXITED(status));
        if (run.exitCodeKnown && WIFSIGNALED(status))
            run.signal = WTERMSIG(status);
        else if (run.exitCodeKnown)
            run.exitCode = static_cast<unsigned long>(WEXITSTATUS(status));
    }
    if (run.started && run.outputCaptured) {
        readToolOutput(run, [output](char* buffer, std::size_t size, std::size_t offset) {
            ssize_t count;
            while ((count = pread(output, buffer, size, static_cast<off_t>(offset))) < 0 && errno == EINTR) {
            }
            return static_cast<long long>(count);
        });
    }
    if (output >= 0)
        close(output);
    return run;
}
