// The per-OS plumbing under the listeners: the adapter list, and one
// adapter's socket with a way to wake its receiver without closing it.
#pragma once

#include "multicast_listeners.h"

#include <cstddef>
#include <string>
#include <vector>

// Prints "<what> (<code>) on <address>", without a line end.
void printSetupError(const char* what, int code, const std::string& address);

std::vector<Adapter> listAdapters();  // prints why when the list cannot be had

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
