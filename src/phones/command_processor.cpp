#include "command_processor.h"

#include "services/event_log.h"

namespace {

std::optional<Verdict> handleStart(const CommandDatagram& datagram, const std::string& adbPath,
                                   const CommandEnvironment& environment)
{
    // The port text comes from anyone on the LAN and goes onto a command line.
    if (!isValidPort(datagram.port)) {
        writeLog({"Ignored start command with invalid port"});
        return std::nullopt;
    }
    // Judged by when the datagrams arrived, however long the last start took.
    if (isRepeatedStart(lastStart, datagram.senderAddress, datagram.port, datagram.receivedTick))
        return std::nullopt;
    lastStart.tick = datagram.receivedTick;

    writeLog({"Received start command with IP ", datagram.senderAddress, " and port ", datagram.port});
    Verdict verdict{Verdict::Request::Start, false, datagram.senderAddress + ":" + datagram.port, adbPath};
    const ToolRun devices = runAdb(adbPath, {"devices", "-l"}, environment);
    verdict.adbNotStarted = !devices.started;
    if (devices.started) {
        verdict.succeeded =
            switchAndConnect(adbPath, devices.output, datagram.senderAddress, datagram.port, environment);
    }

    lastStart.address = datagram.senderAddress;
    lastStart.port = datagram.port;
    return verdict;
}

}  // namespace

Verdict switchToUsb(const std::string& entry, const CommandEnvironment& environment)
{
    writeLog({"Menu: switch ", entry, " to USB"});
    const Verdict verdict = stopPhone(std::string(phoneAddress(entry)), adbPathOrDefault(environment), environment);
    lastStart.address.clear();
    lastStart.port.clear();
    writeLog({verdictText(verdict)});
    return verdict;
}

Verdict switchToWifi(const std::string& serial, const AddressChooser& chooseAddress,
                     const CommandEnvironment& environment)
{
    writeLog({"Menu: switch ", serial, " to Wi-Fi"});
    const std::string adbPath = adbPathOrDefault(environment);
    Verdict verdict{Verdict::Request::Start, false, serial, adbPath};
    const std::uint32_t accepted = environment.readTick();
    const ToolRun asked = askPhoneAddresses(adbPath, serial, environment);
    const std::optional<std::vector<std::string>> addresses = addressesTold(asked);
    const std::string address = addresses ? chooseAddress(*addresses) : "";
    verdict.adbNotStarted = !asked.started;
    verdict.noNetworkAddress = asked.started && address.empty();
    if (!address.empty()) {
        verdict.address = address + ":" + MENU_WIFI_PORT;
        const bool switched = exitedWithZero(runAdb(adbPath, {"-s", serial, "tcpip", MENU_WIFI_PORT}, environment));
        verdict.succeeded = connectWithTries(adbPath, address, MENU_WIFI_PORT, switched, environment);
        lastStart = {address, MENU_WIFI_PORT, accepted};
    }
    writeLog({verdictText(verdict)});
    return verdict;
}

std::optional<Verdict> handleCommand(const CommandDatagram& datagram, const CommandEnvironment& environment)
{
    if (!isCommand(datagram))
        return std::nullopt;
    writeLog({"Received command"});

    // Read afresh every time: a path just chosen takes effect at once.
    std::string adbPath = environment.readAdbPath();
    if (adbPath.empty()) {
        adbPath = DEFAULT_ADB_PATH;
        writeLog({"Using default ADB path"});
    }
    writeLog({"Path to ADB: ", adbPath});

    std::optional<Verdict> verdict;
    if (datagram.command == "start")
        verdict = handleStart(datagram, adbPath, environment);
    else if (datagram.command == "stop") {
        writeLog({"Received stop command"});
        verdict = stopPhone(datagram.senderAddress, adbPath, environment);
        lastStart.address.clear();
        lastStart.port.clear();
    }
    if (verdict)
        writeLog({verdictText(*verdict)});
    return verdict;
}
