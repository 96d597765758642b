#include "network_watch.h"

#include <cerrno>
#include <cstddef>
#include <linux/rtnetlink.h>
#include <linux/if.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int changes = -1;  // rtnetlink socket: links and IPv4 addresses
std::set<int> linksUp;  // the interfaces seen with their link up

// Whether the message tells of a moment: an IPv4 address added, or a link
// that comes up.
bool isMoment(const nlmsghdr& message)
{
    if (message.nlmsg_type == RTM_NEWADDR)
        return true;
    if ((message.nlmsg_type != RTM_NEWLINK && message.nlmsg_type != RTM_DELLINK) ||
        message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
        return false;
    const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
    if (message.nlmsg_type == RTM_NEWLINK && (link->ifi_flags & IFF_LOWER_UP))
        return linksUp.insert(link->ifi_index).second;
    linksUp.erase(link->ifi_index);
    return false;
}

}  // namespace

void watchNetwork(void*)
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0)
        return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return;
    }
    changes = fd;
}

void stopWatchingNetwork()
{
    if (changes >= 0)
        close(changes);
    changes = -1;
}

void networkChanged(bool moment)
{
    noteNetworkChange(NetworkClock::now(), moment);
}

int networkWatchDescriptor()
{
    return changes;
}

void readNetworkChanges()
{
    // The listeners then follow the whole adapter list; only moments are
    // told apart. ENOBUFS (changes were lost because too many came at once)
    // may have hidden one.
    alignas(nlmsghdr) char buffer[8192];
    bool moment = false;
    for (;;) {
        const ssize_t count = recv(changes, buffer, sizeof buffer, 0);
        moment |= count < 0 && errno == ENOBUFS;
        if (count == 0 || (count < 0 && errno != ENOBUFS && errno != EINTR))
            break;  // EAGAIN: all read
        const std::size_t size = count > 0 ? static_cast<std::size_t>(count) : 0;
        for (std::size_t at = 0; at + sizeof(nlmsghdr) <= size;) {
            const auto* message = reinterpret_cast<const nlmsghdr*>(buffer + at);
            if (message->nlmsg_len < sizeof(nlmsghdr) || message->nlmsg_len > size - at)
                break;
            moment |= isMoment(*message);
            at += NLMSG_ALIGN(message->nlmsg_len);
        }
    }
    networkChanged(moment);
}
