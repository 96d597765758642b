#include "app_main.h"

#include "intake/listener_sockets.h"
#include "intake/multicast_listeners.h"
#include "intake/network_watch.h"
#include "services/event_log.h"
#include "tray_window.h"

#include <cstdio>
#include <cstdlib>

int appMain(void* instance)
{
    initCommandLock();
    resetLog();
    writeLog({"Starting"});
    if (!createTray(instance))
        return 0;
    if (!startSocketLibrary())
        return 0;
    setVerdictHandler(showOutcome);
    // Adapters that cannot be listed now are listed again shortly.
    if (!openListeners(listAdapters()))
        networkChanged();

    const int exitCode = runMessageLoop();

    const bool noCommandRunning = stopListening();
    removeTray();
    if (!noCommandRunning) {
        // A receiver still waits for a tool. Nothing waits for it: end now,
        // before exit-time cleanup could free what that thread still uses.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}
