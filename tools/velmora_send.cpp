// Sends one command datagram, as a device does:
//   velmora-send start PORT [--to ADDRESS] [--via LOCAL_ADDRESS]
//   velmora-send stop [--to ADDRESS] [--via LOCAL_ADDRESS]
// --to defaults to the command group; --via picks the interface (by its
// address) that the datagram leaves from.
#include "intake/command_datagram.h"
#include "phones/command_processor.h"
#include "intake/multicast_listeners.h"
#include "send_datagram.h"

#include <cstdio>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: velmora-send start PORT | stop  [--to ADDRESS] [--via LOCAL_ADDRESS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string command, port, to = GROUP_ADDRESS, via;
    int next = 1;
    if (next < argc)
        command = argv[next++];
    if (command == "start" && next < argc)
        port = argv[next++];
    else if (command != "stop")
        return usage();
    if (command == "start" && !isValidPort(port)) {
        std::fprintf(stderr, "velmora-send: the port must be a number from 1 to 65535\n");
        return 2;
    }
    for (; next + 1 < argc; next += 2) {
        const std::string option = argv[next];
        if (option == "--to")
            to = argv[next + 1];
        else if (option == "--via")
            via = argv[next + 1];
        else
            return usage();
    }
    if (next != argc)
        return usage();

    std::string error;
    if (!sendDatagram(encodeCommandDatagram(command, port), to, COMMAND_PORT, via, error)) {
        std::fprintf(stderr, "velmora-send: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
