#pragma once

#include <cstdint>
#include <string>

// Sends payload as one UDP datagram to address:port, from the interface whose
// address is via (any when empty). False with a reason when it cannot.
bool sendDatagram(const std::string& payload, const std::string& address, std::uint16_t port,
                  const std::string& via, std::string& error);
