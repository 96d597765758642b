#include "listener_sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>

// The receiver waits on two events: the socket's "readable" and "woken".
// Closing the socket would wake it too, but then the receiver could be
// handed another listener's socket that got the same handle value.
struct ListenerSocket {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT readable = WSA_INVALID_EVENT;
    HANDLE woken = nullptr;

    ~ListenerSocket()
    {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        if (readable != WSA_INVALID_EVENT)
            WSACloseEvent(readable);
        if (woken)
            CloseHandle(woken);
    }
};

namespace {

ip_mreq groupMembership(const Adapter& adapter)
{
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = inet_addr(GROUP_ADDRESS);
    membership.imr_interface.s_addr = inet_addr(adapter.address.c_str());
    return membership;
}

}  // namespace

bool startSocketLibrary()
{
    WSADATA data;
    const int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) {
        printDiagnostic("WSAStart error " + std::to_string(error) + "\n");
        return false;
    }
    return true;
}

void stopSocketLibrary()
{
    WSACleanup();
}

AdapterListing listAdapters()
{
    // Asked with room for one adapter, then with the size the platform
    // reports. The list may grow in between (an adapter coming up, which is
    // when it is read), so that is asked again a few times.
    const HANDLE heap = GetProcessHeap();
    ULONG size = sizeof(IP_ADAPTER_INFO);
    DWORD result = ERROR_BUFFER_OVERFLOW;
    const auto text = [](const IP_ADDRESS_STRING& field) {
        return std::string(field.String, strnlen(field.String, sizeof field.String));
    };
    for (int attempt = 0; attempt < 5 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        auto* info = static_cast<IP_ADAPTER_INFO*>(HeapAlloc(heap, 0, size));
        if (!info) {
            printDiagnostic("Error allocating memory needed to call GetAdaptersinfo\n");
            return std::nullopt;
        }
        result = GetAdaptersInfo(info, &size);
        std::vector<Adapter> adapters;
        for (const IP_ADAPTER_INFO* adapter = info; result == NO_ERROR && adapter; adapter = adapter->Next) {
            adapters.push_back({adapter->AdapterName, text(adapter->IpAddressList.IpAddress),
                                static_cast<unsigned>(adapter->Index), text(adapter->IpAddressList.IpMask)});
        }
        HeapFree(heap, 0, info);
        // No adapter at all is a list too, an empty one.
        if (result == NO_ERROR || result == ERROR_NO_DATA)
            return adapters;
    }
    printDiagnostic("GetAdaptersInfo failed with error: " + std::to_string(result) + "\n");
    return std::nullopt;
}

SharedListenerSocket openListenerSocket(const Adapter& adapter)
{
    const auto listener = std::make_shared<ListenerSocket>();
    const SOCKET s = listener->socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        printSetupError("Socket error", WSAGetLastError(), adapter.address);
        return nullptr;
    }
    const auto fail = [&](const char* what, int error) {
        printSetupError(what, error, adapter.address);
        return nullptr;  // the socket closes with the record
    };

    const BOOL on = TRUE;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return fail("Reuse address error", WSAGetLastError());

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(COMMAND_PORT);
    local.sin_addr.s_addr = inet_addr(adapter.address.c_str());
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return fail("Bind error", WSAGetLastError());

    const ip_mreq membership = groupMembership(adapter);
    if (setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&membership),
                   sizeof membership) != 0)
        return fail("Add membership error", WSAGetLastError());

    const DWORD ttl = MULTICAST_TTL;
    if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl) != 0)
        return fail("Multicast error", WSAGetLastError());

    listener->readable = WSACreateEvent();
    listener->woken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (listener->readable == WSA_INVALID_EVENT || !listener->woken)
        return fail("Event error", static_cast<int>(GetLastError()));
    if (WSAEventSelect(s, listener->readable, FD_READ) != 0)
        return fail("Event error", WSAGetLastError());
    return listener;
}

Received receiveDatagram(ListenerSocket& socket, char* buffer, std::size_t capacity, std::size_t& count,
                         std::string& sender)
{
    sockaddr_in from{};
    int fromSize = sizeof from;
    int received = SOCKET_ERROR;
    for (;;) {
        if (WaitForSingleObject(socket.woken, 0) == WAIT_OBJECT_0)
            return Received::Closed;
        // The socket does not block (WSAEventSelect made it so).
        received = recvfrom(socket.socket, buffer, static_cast<int>(capacity), 0,
                            reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (received != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK)
            break;
        const HANDLE events[] = {socket.woken, socket.readable};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return Received::Closed;
        // Resets "readable"; the next receive that finds nothing arms it again.
        WSANETWORKEVENTS happened;
        WSAEnumNetworkEvents(socket.socket, socket.readable, &happened);
    }
    if (received == SOCKET_ERROR) {
        switch (WSAGetLastError()) {
        case WSAEMSGSIZE:
            // A longer datagram: the buffer holds its first bytes. Taking them
            // keeps one stray datagram from deafening the adapter.
            count = capacity;
            sender = inet_ntoa(from.sin_addr);
            return Received::Datagram;
        case WSAECONNRESET:
        case WSAENETRESET:
        case WSAEINTR:
            return Received::Again;
        default:
            return Received::Closed;
        }
    }
    count = static_cast<std::size_t>(received);
    sender = inet_ntoa(from.sin_addr);
    return Received::Datagram;
}

void wakeListenerSocket(ListenerSocket& socket, const Adapter& adapter)
{
    const ip_mreq membership = groupMembership(adapter);
    setsockopt(socket.socket, IPPROTO_IP, IP_DROP_MEMBERSHIP, reinterpret_cast<const char*>(&membership),
               sizeof membership);
    SetEvent(socket.woken);
}
