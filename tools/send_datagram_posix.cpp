#include "send_datagram.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool sendDatagram(const std::string& payload, const std::string& address, std::uint16_t port,
                  const std::string& via, std::string& error)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    in_addr local{};
    if (inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1 ||
        (!via.empty() && inet_pton(AF_INET, via.c_str(), &local) != 1)) {
        error = "not an IPv4 address";
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool sent = true;
    if (!via.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr = local;
        sent = setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) == 0 &&
               bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) == 0;
    }
    sent = sent && sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                          sizeof target) == static_cast<ssize_t>(payload.size());
    if (!sent)
        error = std::strerror(errno);
    close(fd);
    return sent;
}
