// A network adapter as the OS lists it: the listeners open one per adapter,
// and the tray menu asks which of a phone's addresses faces one.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct Adapter {
    std::string name;     // the OS's name for the interface
    std::string address;  // its first IPv4 address, dotted quad
    unsigned index = 0;   // the OS's interface number
    std::string mask;     // the address's subnet mask, dotted quad
};

// The adapters as the OS lists them (listener_sockets.h); nullopt when the
// list cannot be had, which is not the same as a list without adapters.
using AdapterListing = std::optional<std::vector<Adapter>>;
