#include "command_processor.h"

#include "adb_devices.h"
#include "services/event_log.h"

#include <chrono>
#include <thread>

LastStart lastStart;

std::uint32_t currentTick()
{
    // The steady clock counts from system start on both Windows and Linux.
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMilliseconds(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

std::string verdictText(const Verdict& verdict)
{
    if (verdict.request == Verdict::Request::Start) {
        return (verdict.succeeded ? "Connected to " : "Could not connect to ") + verdict.address +
               (verdict.noNetworkAddress ? ": the phone has no network address" : "");
    }
    if (verdict.request == Verdict::Request::Reconnect)
        return (verdict.succeeded ? "Reconnected to " : "Could not reconnect to ") + verdict.address;
    if (verdict.succeeded)
        return "Switched " + verdict.address + " to USB";
    return "Could not switch " + verdict.address + " to USB" +
           (verdict.notOnNetwork ? ": not connected over the network" : "");
}

ToolRun runAdb(const std::string& adbPath, const ToolArguments& arguments, const CommandEnvironment& environment)
{
    std::string line = "adb";
    for (const std::string& argument : arguments)
        line += " " + argument;
    writeLog({line});
    return runTool(adbPath, arguments, environment.launchTool);
}

std::string adbPathOrDefault(const CommandEnvironment& environment)
{
    const std::string stored = environment.readAdbPath();
    return stored.empty() ? std::string(DEFAULT_ADB_PATH) : stored;
}

ConnectResult judgeConnectRun(const ToolRun& connect)
{
    // A try that had to be ended says nothing of the phone.
    return connect.timedOut ? ConnectResult::Failed : judgeConnect(connect.output);
}

namespace {

// Asks the phone with this serial for its addresses.
ToolRun askPhoneAddresses(const std::string& adbPath, const std::string& serial, const CommandEnvironment& environment)
{
    return runAdb(adbPath, {"-s", serial, "shell", "ip", "-4", "-o", "addr", "show"}, environment);
}

// What the phone told; nullopt when it could not run the command (the run
// failed or exited non-zero).
std::optional<std::vector<std::string>> addressesTold(const ToolRun& asked)
{
    return exitedWithZero(asked) ? std::optional(parsePhoneAddresses(asked.output)) : std::nullopt;
}

// Connects to sender:port; after a switch, a refused connect is tried again
// while the phone restarts. True when connected.
bool connectWithTries(const std::string& adbPath, const std::string& sender, const std::string& port, bool switched,
                      const CommandEnvironment& environment)
{
    const std::uint32_t switchEnded = environment.readTick();
    for (;;) {
        const ConnectResult result = judgeConnectRun(runAdb(adbPath, {"connect", sender + ":" + port}, environment));
        if (result != ConnectResult::Refused || !switched)
            return result == ConnectResult::Connected;
        environment.sleep(CONNECT_RETRY_MS);
        if (environment.readTick() - switchEnded >= CONNECT_WAIT_MS)
            return false;
    }
}

// Switches the sender's phone to the network, if adb lists it, and connects
// to it; true when connected.
bool switchAndConnect(const std::string& adbPath, const std::string& deviceList, const std::string& sender,
                      const std::string& port, const CommandEnvironment& environment)
{
    const std::vector<DeviceEntry> entries = parseDeviceList(deviceList);
    const PhoneChoice phone = choosePhone(entries, sender, port, [&](const std::string& serial) {
        return addressesTold(askPhoneAddresses(adbPath, serial, environment));
    });
    if (!phone.whyNone.empty())
        writeLog({phone.whyNone});
    const bool switched =
        !phone.serial.empty() && !phone.alreadyThere &&
        exitedWithZero(runAdb(adbPath, {"-s", phone.serial, "tcpip", port}, environment));
    // A network entry switched is the sender on another port: adb would list
    // the old port beside the new one, offline, for a minute.
    if (switched && findEntry(entries, phone.serial)->kind == DeviceKind::Network)
        runAdb(adbPath, {"disconnect", phone.serial}, environment);
    // To an entry listed as offline or unauthorized, adb answers "already
    // connected" without connecting.
    if (const DeviceEntry* listed = findEntry(entries, sender + ":" + port); listed && listed->state != "device") {
        if (listed->state == "unauthorized")
            writeLog({"A device waits for approval of debugging on the phone"});
        runAdb(adbPath, {"disconnect", listed->serial}, environment);
    }
    return connectWithTries(adbPath, sender, port, switched, environment);
}

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

// What a stop from sender does; the verdict is for the caller to log.
Verdict stopPhone(const std::string& sender, const std::string& adbPath, const CommandEnvironment& environment)
{
    Verdict verdict{Verdict::Request::Stop, false, sender, adbPath};
    const ToolRun devices = runAdb(adbPath, {"devices", "-l"}, environment);
    verdict.adbNotStarted = !devices.started;
    if (devices.started) {
        const std::string serial = findNetworkSerial(parseDeviceList(devices.output), sender);
        verdict.notOnNetwork = serial.empty();
        // Disconnected too, or adb would keep calling the old address and
        // list the phone twice once it is back on USB.
        if (!serial.empty() && exitedWithZero(runAdb(adbPath, {"-s", serial, "usb"}, environment))) {
            runAdb(adbPath, {"disconnect", serial}, environment);
            verdict.succeeded = true;
        }
    }
    lastStart.address.clear();
    lastStart.port.clear();
    return verdict;
}

}  // namespace

Verdict switchToUsb(const std::string& entry, const CommandEnvironment& environment)
{
    writeLog({"Menu: switch ", entry, " to USB"});
    const Verdict verdict = stopPhone(std::string(phoneAddress(entry)), adbPathOrDefault(environment), environment);
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
    }
    if (verdict)
        writeLog({verdictText(*verdict)});
    return verdict;
}
