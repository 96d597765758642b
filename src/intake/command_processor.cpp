#include "command_processor.h"

#include "services/event_log.h"

#include <chrono>

LastStart lastStart;

std::uint32_t currentTick()
{
    // The steady clock counts from system start on both Windows and Linux.
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool isValidPort(std::string_view port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool isRepeatedStart(const LastStart& last, std::string_view address, std::string_view port,
                     std::uint32_t now)
{
    const bool sameDeviceOrPort = address == last.address || port == last.port;
    const std::uint32_t elapsed = now - last.tick;  // wraps like the tick
    return sameDeviceOrPort && elapsed <= REPEAT_WINDOW_MS;
}

namespace {

void handleStart(const CommandDatagram& datagram, const std::string& adbPath,
                 const CommandEnvironment& environment)
{
    // The port text comes from anyone on the LAN and goes onto a command line.
    if (!isValidPort(datagram.port)) {
        writeLog({"Ignored start command with invalid port"});
        return;
    }
    const std::uint32_t now = environment.readTick();
    if (isRepeatedStart(lastStart, datagram.senderAddress, datagram.port, now))
        return;
    lastStart.tick = now;

    const std::string device = datagram.senderAddress + ":" + datagram.port;
    writeLog({"Received start command with IP ", datagram.senderAddress, " and port ", datagram.port});
    writeLog({"adb tcpip ", datagram.port});
    runTool(adbPath, {"tcpip", datagram.port}, environment.launchTool);
    writeLog({"adb connect ", device});
    runTool(adbPath, {"connect", device}, environment.launchTool);

    lastStart.address = datagram.senderAddress;
    lastStart.port = datagram.port;
}

void handleStop(const std::string& adbPath, const CommandEnvironment& environment)
{
    writeLog({"Received stop command"});
    writeLog({"adb usb"});
    runTool(adbPath, {"usb"}, environment.launchTool);
    lastStart.address.clear();
    lastStart.port.clear();
}

}  // namespace

void handleCommand(const CommandDatagram& datagram, const CommandEnvironment& environment)
{
    if (!isCommand(datagram))
        return;
    writeLog({"Received command"});

    // Read afresh every time: a path just chosen takes effect at once.
    std::string adbPath = environment.readAdbPath();
    if (adbPath.empty()) {
        adbPath = DEFAULT_ADB_PATH;
        writeLog({"Using default ADB path"});
    }
    writeLog({"Path to ADB: ", adbPath});

    if (datagram.command == "start")
        handleStart(datagram, adbPath, environment);
    else if (datagram.command == "stop")
        handleStop(adbPath, environment);
}
