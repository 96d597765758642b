// The per-OS plumbing under the listeners: the adapter list, and one
// adapter's socket with a way to wake its receiver without closing it.
#pragma once

#include "multicast_listeners.h"

#include <cstddef>
#include <string>

// Windows Sockets 2.2 where there is such a library; false after printing
// why.
bool startSocketLibrary();
void stopSocketLibrary();

// The IPv4 adapters; nullopt after printing why when they cannot be listed.
AdapterListing listAdapters();

// A socket bound to the command port on the adapter and joined to the group
// there; nullptr after printing the failing step. It closes when the last
// owner lets go.
SharedListenerSocket openListenerSocket(const Adapter& adapter);

enum class Received { Datagram, Again, Closed };
// Waits for one datagram, cut to capacity bytes, and its sender's address.
// Closed once the socket has been woken, and on errors that end listening.
Received receiveDatagram(ListenerSocket& socket, char* buffer, std::size_t capacity, std::size_t& count,
                         std::string& sender);

// Leaves the group and makes a pending receive, and every later one, return
// Closed. The socket itself stays open until its last owner lets go.
void wakeListenerSocket(ListenerSocket& socket, const Adapter& adapter);
