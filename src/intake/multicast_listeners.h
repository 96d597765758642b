// Listening for command datagrams on every IPv4 adapter at once: one UDP
// socket and one receiver thread per usable adapter, joined to the command
// group on that adapter. Each command datagram is stamped with the time it was
// read and handed to the command worker (command_worker.h). The listeners
// follow the network: when adapters or their addresses change, the main
// thread brings them in line again.
#pragma once

#include "adapter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* GROUP_ADDRESS = "239.123.126.129";
constexpr std::uint16_t COMMAND_PORT = 2904;
constexpr std::size_t RECEIVE_LIMIT = 45;  // bytes taken of a datagram
constexpr int MULTICAST_TTL = 16;

// One adapter's socket and what wakes its receiver (listener_sockets.h). The
// socket is closed when the last of the table and the receiver thread lets go
// of it, so neither side can close it under the other.
struct ListenerSocket;
using SharedListenerSocket = std::shared_ptr<ListenerSocket>;

struct Listener {
    Adapter adapter;
    SharedListenerSocket socket;
};

// In the order the listeners were set up. Written by the main thread only.
using ListenerTable = std::vector<Listener>;
extern ListenerTable listenerTable;


// An address that can carry a listener: a real dotted quad, not "0.0.0.0".
bool isUsableAdapterAddress(std::string_view address);

// What it takes to bring listeners on `listening` in line with the adapters
// there are `now`: a listener stays while an adapter of the same name, number
// and address is there; every other one closes, and every usable adapter
// without a listener gets one, in the order listed.
struct ListenerChanges {
    std::vector<std::size_t> close;  // positions in `listening`
    std::vector<Adapter> open;
};
ListenerChanges planListenerChanges(const std::vector<Adapter>& listening, const std::vector<Adapter>& now);

// Prints the text to standard output as it is (never as a format), at once
// or not at all (standard_output.h).
void printDiagnostic(const std::string& text);

// Prints "<what> (<code>) on <address>" on a line of its own.
void printSetupError(const char* what, int code, const std::string& address);

// Sets up a listener for every usable adapter listed, printing "Listening on
// ADDRESS" for each on standard output; failures are printed there too and
// skipped. False when the adapters could not be listed: nothing is opened
// then, and the caller tries again later.
bool openListeners(const AdapterListing& adapters);

// Brings the listeners in line with the adapters listed now, as a change of
// the network asks: "Stopped listening on ADDRESS" for each one closed,
// "Listening on ADDRESS" for each one opened, in the log and on standard
// output. Listeners that still match are not touched. An adapter whose
// listener cannot be set up (its receiver thread included) is left for the
// next change. Returns how many listeners
// opened; when the adapters could not be listed, every listener stays as it
// is and the result is nullopt. Never waits for a command being handled.
std::optional<std::size_t> followAdapters(const AdapterListing& adapters);

// Leaves the groups and stops every receiver; empties the table.
void closeListeners();

// The network side of shutdown, in order: closes the listeners, retires the
// command worker and stops the socket library. False when a command is still
// running, as retireCommandWorker says.
bool stopListening();
