// Opens the listeners as the program does, prints the listener table, and
// closes them again when the line "quit" or the end of input arrives. Lets
// the network tests drive the listeners of either build without the tray.
#include "phones/command_worker.h"
#include "intake/listener_sockets.h"
#include "services/event_log.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main()
{
    resetLog();
    writeLog({"Starting"});
    if (!startSocketLibrary() || !startCommandWorker(nullptr))
        return 1;
    openListeners(listAdapters());
    for (std::size_t i = 0; i < listenerTable.size(); ++i)
        std::printf("\nlistener %zu %s\n", i, listenerTable[i].adapter.address.c_str());
    std::printf("ready\n");
    std::fflush(stdout);

    for (std::string line; std::getline(std::cin, line) && line.rfind("quit", 0) != 0;) {
    }
    const bool noCommandRunning = stopListening();
    std::printf("closed\n");
    std::fflush(stdout);
    if (!noCommandRunning)
        std::_Exit(0);
    return 0;
}
