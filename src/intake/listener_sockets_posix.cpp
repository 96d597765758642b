#include "listener_sockets.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct ListenerSocket {
    int fd;
    std::atomic<bool> woken{false};

    explicit ListenerSocket(int descriptor) : fd(descriptor) {}
    ~ListenerSocket() { close(fd); }
};

namespace {

std::string addressText(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// The command group on the adapter's interface.
ip_mreqn groupMembership(const Adapter& adapter)
{
    ip_mreqn membership{};
    inet_pton(AF_INET, GROUP_ADDRESS, &membership.imr_multiaddr);
    inet_pton(AF_INET, adapter.address.c_str(), &membership.imr_address);
    membership.imr_ifindex = static_cast<int>(adapter.index);
    return membership;
}

}  // namespace

AdapterListing listAdapters()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        printDiagnostic("getifaddrs failed with error: " + std::to_string(errno) + "\n");
        return std::nullopt;
    }
    // The first IPv4 address of each interface, loopback left out. An
    // address with a label ("eth0:1") is listed under its label, which is the
    // interface's name, a colon and more (names never hold a colon).
    std::vector<Adapter> adapters;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const std::string label = entry->ifa_name;
        const std::string name = label.substr(0, label.find(':'));
        bool seen = false;
        for (const Adapter& adapter : adapters)
            seen = seen || adapter.name == name;
        if (seen)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        adapters.push_back({name, addressText(address->sin_addr), if_nametoindex(name.c_str()),
                            mask ? addressText(mask->sin_addr) : ""});
    }
    freeifaddrs(list);
    return adapters;
}

SharedListenerSocket openListenerSocket(const Adapter& adapter)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        printSetupError("Socket error", errno, adapter.address);
        return nullptr;
    }
    const auto fail = [&](const char* what) {
        printSetupError(what, errno, adapter.address);
        close(fd);
        return nullptr;
    };

    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return fail("Reuse address error");

    // A socket bound to a unicast address gets no group datagrams here, so
    // bind to any address and tie the socket to its interface instead: it then
    // gets the group's datagrams arriving on this adapter and those sent to
    // the adapter's own address, and nothing that arrives elsewhere.
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, adapter.name.c_str(),
                   static_cast<socklen_t>(adapter.name.size())) != 0)
        return fail("Bind error");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(COMMAND_PORT);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return fail("Bind error");

    const ip_mreqn membership = groupMembership(adapter);
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
        return fail("Add membership error");

    // Only the groups joined on this socket, not every group of the host.
    const int off = 0;
    const int ttl = MULTICAST_TTL;
    if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0)
        return fail("Multicast error");
    return std::make_shared<ListenerSocket>(fd);
}

Received receiveDatagram(ListenerSocket& socket, char* buffer, std::size_t capacity, std::size_t& count,
                         std::string& sender)
{
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    // A longer datagram is cut to the buffer; the rest is discarded.
    const ssize_t received = recvfrom(socket.fd, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    // After a wake-up a receive returns 0 bytes, like an empty datagram.
    if (socket.woken.load())
        return Received::Closed;
    if (received < 0)
        return errno == EINTR || errno == ECONNREFUSED ? Received::Again : Received::Closed;
    count = static_cast<std::size_t>(received);
    sender = addressText(from.sin_addr);
    return Received::Datagram;
}

void wakeListenerSocket(ListenerSocket& socket, const Adapter& adapter)
{
    socket.woken = true;
    const ip_mreqn membership = groupMembership(adapter);
    setsockopt(socket.fd, IPPROTO_IP, IP_DROP_MEMBERSHIP, &membership, sizeof membership);
    // Wakes a receive blocked on the socket; closing it would not.
    shutdown(socket.fd, SHUT_RDWR);
}

bool startSocketLibrary()
{
    return true;
}

void stopSocketLibrary()
{
}
