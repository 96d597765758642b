// Floods a UDP address with junk and oversized datagrams as fast as it can:
//   flood ADDRESS VIA_ADDRESS SECONDS
// Prints how many datagrams it sent and the rate. A few start with the
// command magic, so that they get as far as the command handling.
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: flood ADDRESS VIA_ADDRESS SECONDS\n");
        return 2;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(2904);
    in_addr via{};
    if (inet_pton(AF_INET, argv[1], &target.sin_addr) != 1 || inet_pton(AF_INET, argv[2], &via) != 1)
        return 2;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0 || setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &via, sizeof via) != 0)
        return 1;

    std::mt19937 random(2904);
    unsigned char payload[1400];
    for (unsigned char& byte : payload)
        byte = static_cast<unsigned char>(random());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    std::uint64_t sent = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int burst = 0; burst < 256; ++burst) {
            const std::uint32_t draw = random();
            // Half oversized, half within the 45 bytes a listener takes.
            const std::size_t size = draw & 1 ? 46 + draw % (sizeof payload - 46) : draw % 46;
            payload[draw % 40] = static_cast<unsigned char>(draw >> 8);
            const bool magic = draw % 100 == 0;
            if (magic) {
                payload[0] = 'V';
                payload[1] = 'Q';
                payload[2] = 'M';
            }
            if (sendto(fd, payload, size, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) >= 0)
                ++sent;
            if (magic)
                payload[0] = 0;
        }
    }
    close(fd);
    std::printf("%llu %.0f\n", static_cast<unsigned long long>(sent), sent / std::atof(argv[3]));
    return 0;
}
