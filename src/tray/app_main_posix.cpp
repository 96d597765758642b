// The Linux program runs in the foreground of a terminal until SIGINT or
// SIGTERM asks it to quit.
#include "services/event_log.h"

#include <csignal>

int main()
{
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);

    resetLog();
    writeLog({"Starting"});

    int signal = 0;
    sigwait(&quitSignals, &signal);
    return 0;
}
