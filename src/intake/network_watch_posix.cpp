#include "network_watch.h"

#include <cerrno>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int changes = -1;  // rtnetlink socket: links and IPv4 addresses

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

void networkChanged()
{
    noteNetworkChange(NetworkClock::now());
}

int networkWatchDescriptor()
{
    return changes;
}

void readNetworkChanges()
{
    // Only that something changed matters: the listeners then follow the
    // whole adapter list. ENOBUFS (changes were lost because too many came
    // at once) says no more than that.
    char message[8192];
    for (;;) {
        const ssize_t count = recv(changes, message, sizeof message, 0);
        if (count == 0 || (count < 0 && errno != ENOBUFS && errno != EINTR))
            break;  // EAGAIN: all read
    }
    networkChanged();
}
