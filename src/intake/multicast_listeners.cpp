#include "multicast_listeners.h"

#include "phones/command_processor.h"
#include "phones/command_worker.h"
#include "listener_sockets.h"
#include "services/event_log.h"
#include "services/standard_output.h"
#include "services/threads.h"

#include <algorithm>

ListenerTable listenerTable;

namespace {

bool sameListener(const Adapter& a, const Adapter& b)
{
    return a.name == b.name && a.index == b.index && a.address == b.address;
}

// The body of a receiver thread: receive, decode, stamp and hand over to the
// command worker until the socket is woken. Its share of the socket goes with
// it.
void receiverLoop(SharedListenerSocket socket)
{
    char buffer[RECEIVE_LIMIT + 1];
    for (;;) {
        std::size_t count = 0;
        std::string sender;
        const Received result = receiveDatagram(*socket, buffer, RECEIVE_LIMIT, count, sender);
        if (result == Received::Closed)
            break;
        if (result == Received::Again)
            continue;
        buffer[count] = '\0';
        CommandDatagram datagram = decodeCommandDatagram(buffer, count, sender);
        if (!isCommand(datagram))
            continue;  // handled as such, it would leave no trace anyway
        queueStampedCommand([datagram](std::uint64_t received) mutable {
            datagram.receivedTick = received;
            const std::optional<Verdict> verdict = handleCommand(datagram);
            return verdict ? std::vector<Verdict>{*verdict} : std::vector<Verdict>();
        });
    }
}

// Opens a listener on the adapter and starts its receiver; false when either
// fails (printed). A listener without a receiver would only look like one:
// its socket closes, and the adapter is tried again at the next change.
bool openListener(const Adapter& adapter)
{
    SharedListenerSocket socket = openListenerSocket(adapter);
    if (!socket)
        return false;
    if (const int error = startThread([socket] { receiverLoop(socket); })) {
        printSetupError("Thread error", error, adapter.address);
        return false;
    }
    listenerTable.push_back({adapter, std::move(socket)});
    printDiagnostic("Listening on " + adapter.address + "\n");
    return true;
}

void closeListener(Listener& listener)
{
    wakeListenerSocket(*listener.socket, listener.adapter);
    listener.socket.reset();
}

}  // namespace

bool isUsableAdapterAddress(std::string_view address)
{
    return address.size() >= 7 && address != "0.0.0.0";
}

ListenerChanges planListenerChanges(const std::vector<Adapter>& listening, const std::vector<Adapter>& now)
{
    const auto holds = [](const std::vector<Adapter>& adapters, const Adapter& wanted) {
        return std::any_of(adapters.begin(), adapters.end(),
                           [&](const Adapter& adapter) { return sameListener(adapter, wanted); });
    };
    ListenerChanges changes;
    for (std::size_t i = 0; i < listening.size(); ++i) {
        if (!isUsableAdapterAddress(listening[i].address) || !holds(now, listening[i]))
            changes.close.push_back(i);
    }
    for (const Adapter& adapter : now) {
        if (isUsableAdapterAddress(adapter.address) && !holds(listening, adapter) && !holds(changes.open, adapter))
            changes.open.push_back(adapter);
    }
    return changes;
}

void printDiagnostic(const std::string& text)
{
    printNow(text);
}

void printSetupError(const char* what, int code, const std::string& address)
{
    printDiagnostic(what + (" (" + std::to_string(code) + ") on ") + address + "\n");
}

bool openListeners(const AdapterListing& adapters)
{
    if (!adapters)
        return false;
    for (const Adapter& adapter : planListenerChanges({}, *adapters).open)
        openListener(adapter);
    return true;
}

std::optional<std::size_t> followAdapters(const AdapterListing& adapters)
{
    // A list that could not be had says nothing of the adapters: closing
    // every listener on it would leave Velmora deaf.
    if (!adapters)
        return std::nullopt;
    std::vector<Adapter> listening;
    for (const Listener& listener : listenerTable)
        listening.push_back(listener.adapter);
    const ListenerChanges changes = planListenerChanges(listening, *adapters);

    // Closed first: an address that moved to another adapter is then free.
    for (std::size_t i : changes.close) {
        closeListener(listenerTable[i]);
        writeLog({"Stopped listening on ", listenerTable[i].adapter.address});
        printDiagnostic("Stopped listening on " + listenerTable[i].adapter.address + "\n");
    }
    listenerTable.erase(std::remove_if(listenerTable.begin(), listenerTable.end(),
                                       [](const Listener& listener) { return !listener.socket; }),
                        listenerTable.end());

    std::size_t opened = 0;
    for (const Adapter& adapter : changes.open) {
        if (openListener(adapter)) {
            writeLog({"Listening on ", adapter.address});
            ++opened;
        }
    }
    return opened;
}

void closeListeners()
{
    for (Listener& listener : listenerTable)
        closeListener(listener);
    listenerTable.clear();
}

bool stopListening()
{
    closeListeners();
    const bool noCommandRunning = retireCommandWorker();
    stopSocketLibrary();
    return noCommandRunning;
}
