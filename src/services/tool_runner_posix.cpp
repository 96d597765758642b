#include "tool_runner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// What the tool wrote, from the start of the file, up to the read limit.
void readOutput(int fd, ToolRun& run)
{
    run.output.resize(TOOL_OUTPUT_READ_LIMIT + 1);
    std::size_t have = 0;
    while (have < run.output.size()) {
        const ssize_t count = pread(fd, &run.output[have], run.output.size() - have, static_cast<off_t>(have));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        have += static_cast<std::size_t>(count);
    }
    run.outputCut = have > TOOL_OUTPUT_READ_LIMIT;
    run.output.resize(have > TOOL_OUTPUT_READ_LIMIT ? TOOL_OUTPUT_READ_LIMIT : have);
}

}  // namespace

ToolRun launchAndWait(const std::string& program, const ToolArguments& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The output goes to a file in memory, not a pipe: a tool that writes a
    // lot never waits for us, and a server it leaves behind holding the file
    // keeps nobody waiting for an end of file. Every other descriptor of the
    // program is close-on-exec.
    const int output = memfd_create("velmora-tool-output", MFD_CLOEXEC);
    if (output < 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    // No signal blocked and every one at its default: the program blocks
    // SIGINT and SIGTERM for its own handling and ignores SIGPIPE.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals, allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child = 0;
    const int error = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ToolRun run;
    if (error == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        run.started = true;
        if (WIFSIGNALED(status))
            run.signal = WTERMSIG(status);
        else if (WIFEXITED(status))
            run.exitCode = static_cast<unsigned long>(WEXITSTATUS(status));
        readOutput(output, run);
    }
    close(output);
    return run;
}
