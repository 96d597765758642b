#include "app_main.h"

#include "phones/command_worker.h"
#include "intake/listener_sockets.h"
#include "intake/multicast_listeners.h"
#include "intake/network_watch.h"
#include "phones/reconnect.h"
#include "services/event_log.h"
#include "single_copy.h"
#include "tray_window.h"

#include <cstdio>
#include <cstdlib>

int appMain(void* instance)
{
    // Before the log: a second copy in the same folder must not empty it.
    if (!becomeOnlyCopy())
        return ALREADY_RUNNING_EXIT_CODE;
    resetLog();
    writeLog({"Starting"});
    if (!createTray(instance))
        return 0;
    loadRememberedPhones();
    if (!startSocketLibrary() || !startCommandWorker([](const Verdict& verdict) {
            rememberFromVerdict(verdict);
            showOutcome(verdict);
        }))
        return 0;
    // Adapters that cannot be listed now are listed again shortly.
    if (!openListeners(listAdapters()))
        networkChanged();
    checkRememberedPhones();

    const int exitCode = runMessageLoop();

    beginEnding();
    const bool noCommandRunning = stopListening();
    removeTray();
    if (!noCommandRunning) {
        // The worker still waits for a tool. Nothing waits for it: end now,
        // before exit-time cleanup could free what that thread still uses.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}
