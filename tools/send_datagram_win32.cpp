#include "send_datagram.h"

#include <winsock2.h>
#include <ws2tcpip.h>

bool sendDatagram(const std::string& payload, const std::string& address, std::uint16_t port,
                  const std::string& via, std::string& error)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "Windows Sockets cannot start";
        return false;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = inet_addr(address.c_str());
    in_addr local{};
    local.s_addr = via.empty() ? INADDR_ANY : inet_addr(via.c_str());
    if (target.sin_addr.s_addr == INADDR_NONE || local.s_addr == INADDR_NONE) {
        error = "not an IPv4 address";
        WSACleanup();
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    bool sent = s != INVALID_SOCKET;
    if (sent && !via.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr = local;
        sent = setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local), sizeof local) == 0 &&
               bind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from) == 0;
    }
    sent = sent && sendto(s, payload.data(), static_cast<int>(payload.size()), 0,
                          reinterpret_cast<const sockaddr*>(&target), sizeof target) ==
                       static_cast<int>(payload.size());
    if (!sent)
        error = "send failed with error " + std::to_string(WSAGetLastError());
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return sent;
}
