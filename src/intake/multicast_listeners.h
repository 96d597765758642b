// Listening for command datagrams on every IPv4 adapter at once: one UDP
// socket and one receiver thread per usable adapter, joined to the command
// group on that adapter. Datagrams are decoded and handled one at a time under
// the command lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* GROUP_ADDRESS = "239.123.126.129";
constexpr std::uint16_t COMMAND_PORT = 2904;
constexpr std::size_t RECEIVE_LIMIT = 45;  // bytes taken of a datagram
constexpr int MULTICAST_TTL = 16;

// A socket on Windows, a file descriptor elsewhere.
using SocketHandle = std::uintptr_t;
extern const SocketHandle INVALID_SOCKET_HANDLE;

struct Adapter {
    std::string name;     // the OS's name for the interface
    std::string address;  // its first IPv4 address, dotted quad
    unsigned index = 0;   // the OS's interface number
};

struct Listener {
    SocketHandle socket;
    Adapter adapter;
    bool threadStarted;
};

// In the order the listeners were set up. Written by the main thread only;
// receiver threads get their socket when they start and never read it.
using ListenerTable = std::vector<Listener>;
extern ListenerTable listenerTable;

// An address that can carry a listener: a real dotted quad, not "0.0.0.0".
bool isUsableAdapterAddress(std::string_view address);

// Prints "<what> (<code>) on <address>", without a line end.
void printSetupError(const char* what, int code, const std::string& address);

// The command lock is created before the first listener and retired after
// the last is closed. Retiring takes it for good when no command is being
// handled, so none can start while the process ends; it returns false when a
// command is still running (a tool being waited for), and the caller then
// ends the process without waiting for it. The lock itself is never freed: a
// receiver thread may still be waiting for it as the process ends.
void initCommandLock();
bool destroyCommandLock();

// Sets up a listener for every usable adapter; failures are printed to
// standard output and skipped.
void openListeners();

// The body of a receiver thread: receive, decode and handle until its
// listeners are closed.
void receiverLoop(SocketHandle socket, unsigned generation);

// Leaves the groups and stops every receiver; empties the table.
void closeListeners();

// The network side of shutdown, in order: closes the listeners, retires the
// command lock and stops the socket library. False when a command is still
// running, as destroyCommandLock says.
bool stopListening();

// Provided by the per-OS part.

// Windows Sockets 2.2 where there is such a library; false after printing why.
bool startSocketLibrary();
void stopSocketLibrary();

std::vector<Adapter> listAdapters();  // prints why when the list cannot be had
SocketHandle openListenerSocket(const Adapter& adapter);  // prints the failing step

enum class Received { Datagram, Again, Closed };
// Receives one datagram, cut to capacity bytes, and its sender's address.
Received receiveDatagram(SocketHandle socket, char* buffer, std::size_t capacity, std::size_t& count,
                         std::string& sender);
// Leaves the group and makes a pending receive return. Windows closes the
// socket here, the documented way to cancel a blocking receive; elsewhere it
// stays open until releaseListenerSocket.
void stopListenerSocket(SocketHandle socket, const Adapter& adapter);
// Frees what stopListenerSocket left; called once, by whoever uses it last.
void releaseListenerSocket(SocketHandle socket);
