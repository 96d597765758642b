#include "command_processor.h"

#include "reconnect.h"
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
    if (isRepeatedStart(lastStart, datagram.senderAddress, datagram.port, datagram.receivedTick)) {
        writeLog({"Ignored repeated start from ", datagram.senderAddress, " for port ", datagram.port});
        return std::nullopt;
    }

    writeLog({"Received start command with IP ", datagram.senderAddress, " and port ", datagram.port});
    const Verdict verdict = switchPhoneToNetwork(
        {datagram.senderAddress, "", {}, datagram.port, &rememberedPhones()}, adbPath, environment);
    // Another computer's phone neither sets nor clears the repeat record.
    if (verdict.reason != Verdict::Reason::LeftAlone)
        lastStart = {datagram.senderAddress, datagram.port, datagram.receivedTick};
    return verdict;
}

Verdict handleStop(const std::string& address, const std::string& port, const std::string& adbPath,
                   const CommandEnvironment& environment, const RememberedPhones* remembered = nullptr)
{
    const Verdict verdict = switchPhoneToUsb(address, port, adbPath, environment, remembered);
    if (verdict.reason != Verdict::Reason::LeftAlone) {
        lastStart.address.clear();
        lastStart.port.clear();
    }
    return verdict;
}

}  // namespace

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
        verdict = handleStop(datagram.senderAddress, "", adbPath, environment, &rememberedPhones());
    }
    if (verdict)
        writeLog({verdictText(*verdict)});
    return verdict;
}

Verdict menuSwitchToUsb(const std::string& entry, const CommandEnvironment& environment)
{
    writeLog({"Menu: switch ", entry, " to USB"});
    const auto hostPort = splitHostPort(entry);
    const Verdict verdict = handleStop(std::string(hostPort ? hostPort->first : entry),
                                       std::string(hostPort ? hostPort->second : ""),
                                       adbPathOrDefault(environment), environment);
    writeLog({verdictText(verdict)});
    return verdict;
}

Verdict menuSwitchToWifi(const std::string& serial, std::uint64_t chosen, const AddressChooser& chooseAddress,
                         const CommandEnvironment& environment)
{
    writeLog({"Menu: switch ", serial, " to Wi-Fi"});
    const Verdict verdict =
        switchPhoneToNetwork({"", serial, chooseAddress, MENU_WIFI_PORT}, adbPathOrDefault(environment), environment);
    // Named by its address once the phone told it.
    if (verdict.address != serial)
        lastStart = {std::string(phoneAddress(verdict.address)), MENU_WIFI_PORT, chosen};
    writeLog({verdictText(verdict)});
    return verdict;
}
