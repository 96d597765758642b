#include "multicast_listeners.h"

#include "command_processor.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

ListenerTable listenerTable;

namespace {

std::mutex* commandLock = nullptr;

// Bumped by every closeListeners: a thread ends once its generation is closed.
// (After a Linux shutdown() a receive returns 0 bytes, like an empty datagram.)
std::atomic<unsigned> closedGenerations{0};

}  // namespace

bool isUsableAdapterAddress(std::string_view address)
{
    return address.size() >= 7 && address != "0.0.0.0";
}

void printSetupError(const char* what, int code, const std::string& address)
{
    std::printf("%s (%d) on %s", what, code, address.c_str());
    std::fflush(stdout);
}

void initCommandLock()
{
    if (!commandLock)
        commandLock = new std::mutex;
}

bool destroyCommandLock()
{
    return commandLock && commandLock->try_lock();
}

void receiverLoop(SocketHandle socket, unsigned generation)
{
    char buffer[RECEIVE_LIMIT + 1];
    for (;;) {
        std::size_t count = 0;
        std::string sender;
        const Received result = receiveDatagram(socket, buffer, RECEIVE_LIMIT, count, sender);
        if (result == Received::Closed || closedGenerations.load() != generation)
            break;
        if (result == Received::Again)
            continue;
        buffer[count] = '\0';
        const std::lock_guard<std::mutex> hold(*commandLock);
        handleCommand(decodeCommandDatagram(buffer, count, sender));
    }
    releaseListenerSocket(socket);
}

void openListeners()
{
    const unsigned generation = closedGenerations.load();
    for (const Adapter& adapter : listAdapters()) {
        if (!isUsableAdapterAddress(adapter.address))
            continue;
        const SocketHandle socket = openListenerSocket(adapter);
        if (socket == INVALID_SOCKET_HANDLE)
            continue;
        listenerTable.push_back({socket, adapter, false});
        try {
            std::thread(receiverLoop, socket, generation).detach();
            listenerTable.back().threadStarted = true;
        } catch (const std::system_error&) {
            // Kept in the table without a thread, and closed with the others.
        }
    }
}

void closeListeners()
{
    ++closedGenerations;
    for (Listener& listener : listenerTable) {
        if (listener.socket == INVALID_SOCKET_HANDLE)
            continue;
        stopListenerSocket(listener.socket, listener.adapter);
        if (!listener.threadStarted)
            releaseListenerSocket(listener.socket);
        listener.socket = INVALID_SOCKET_HANDLE;
    }
    listenerTable.clear();
}

bool stopListening()
{
    closeListeners();
    const bool noCommandRunning = destroyCommandLock();
    stopSocketLibrary();
    return noCommandRunning;
}
