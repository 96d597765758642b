#include "switch_steps.h"

#include "services/event_log.h"

#include <chrono>
#include <thread>

std::uint64_t currentTick()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMilliseconds(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

std::optional<std::vector<DeviceEntry>> listDevices(const std::string& adbPath, Verdict& failed,
                                                    const CommandEnvironment& environment)
{
    const ToolRun devices = runAdb(adbPath, {"devices", "-l"}, environment);
    if (!devices.started)
        failed.reason = Verdict::Reason::AdbNotStarted;
    else if (!exitedWithZero(devices) || !devices.outputCaptured)
        failed.reason = Verdict::Reason::AdbNoAnswer;
    else
        return parseDeviceList(devices.output);
    return std::nullopt;
}

namespace {

// What the phone with this serial tells of its addresses; nullopt when it
// could not run the command (the run failed, exited non-zero or was ended).
std::optional<std::vector<std::string>> askPhoneAddresses(const std::string& adbPath, const std::string& serial,
                                                          const CommandEnvironment& environment)
{
    const ToolRun asked = runAdb(adbPath, {"-s", serial, "shell", "ip", "-4", "-o", "addr", "show"}, environment);
    return exitedWithZero(asked) ? std::optional(parsePhoneAddresses(asked.output)) : std::nullopt;
}

// What each ready USB phone tells of its addresses.
ToldAddresses askUsbPhones(const std::vector<DeviceEntry>& entries, const std::string& adbPath,
                           const CommandEnvironment& environment)
{
    ToldAddresses told;
    for (const DeviceEntry& entry : entries) {
        if (entry.kind == DeviceKind::Usb && entry.state == "device")
            told.emplace_back(entry.serial, askPhoneAddresses(adbPath, entry.serial, environment));
    }
    return told;
}

// Connects to address:port; after a switch, a refused connect is tried again
// while the phone restarts. True when connected.
bool connectWithTries(const std::string& adbPath, const std::string& address, const std::string& port, bool switched,
                      const CommandEnvironment& environment)
{
    const std::uint64_t switchEnded = environment.readTick();
    for (;;) {
        const ConnectResult result = judgeConnectRun(runAdb(adbPath, {"connect", address + ":" + port}, environment));
        if (result != ConnectResult::Refused || !switched)
            return result == ConnectResult::Connected;
        environment.sleep(CONNECT_RETRY_MS);
        if (environment.readTick() - switchEnded >= CONNECT_WAIT_MS)
            return false;
    }
}

// The chosen phone switched to listen on port and connected at address:port;
// true when connected.
bool switchAndConnect(const std::vector<DeviceEntry>& entries, const PhoneChoice& phone, const std::string& address,
                      const std::string& port, const std::string& adbPath, const CommandEnvironment& environment)
{
    // To an entry listed as offline or unauthorized, adb answers "already
    // connected" without connecting.
    const std::string target = address + ":" + port;
    if (const DeviceEntry* listed = findEntry(entries, target); listed && listed->state != "device") {
        if (listed->state == "unauthorized")
            writeLog({"A device waits for approval of debugging on the phone"});
        runAdb(adbPath, {"disconnect", target}, environment);
    }
    const bool switched = !phone.serial.empty() && !phone.alreadyThere &&
                          exitedWithZero(runAdb(adbPath, {"-s", phone.serial, "tcpip", port}, environment));
    // The phone's entries on other ports, the one switched through among
    // them, would stay listed beside the new one, offline, for a minute.
    for (const DeviceEntry& entry : entries) {
        const auto hostPort = splitHostPort(entry.serial);
        if (switched && entry.kind == DeviceKind::Network && hostPort && hostPort->first == address &&
            hostPort->second != port)
            runAdb(adbPath, {"disconnect", entry.serial}, environment);
    }
    return connectWithTries(adbPath, address, port, switched, environment);
}

}  // namespace

Verdict switchPhoneToNetwork(const NamedPhone& phone, const std::string& adbPath,
                             const CommandEnvironment& environment)
{
    const bool bySender = phone.serial.empty();
    Verdict verdict{Verdict::Request::Start, false, bySender ? phone.sender + ":" + phone.port : phone.serial, adbPath};
    const std::optional<std::vector<DeviceEntry>> entries = listDevices(adbPath, verdict, environment);
    if (!entries)
        return verdict;
    if (bySender) {
        ToldAddresses told;
        const PhoneChoice chosen = choosePhone(*entries, phone.sender, phone.port, [&](const std::string& serial) {
            told.emplace_back(serial, askPhoneAddresses(adbPath, serial, environment));
            return told.back().second;
        });
        // Found none: every ready USB phone has told its addresses.
        if (chosen.serial.empty() && phone.remembered &&
            !isThisComputersPhone(*entries, phone.sender, told, *phone.remembered)) {
            verdict.reason = Verdict::Reason::LeftAlone;
            return verdict;
        }
        if (!chosen.whyNone.empty())
            writeLog({chosen.whyNone});
        verdict.succeeded = switchAndConnect(*entries, chosen, phone.sender, phone.port, adbPath, environment);
        return verdict;
    }
    const std::optional<std::vector<std::string>> addresses = askPhoneAddresses(adbPath, phone.serial, environment);
    const std::string address = addresses ? phone.chooseAddress(*addresses) : "";
    if (address.empty()) {
        verdict.reason = addresses ? Verdict::Reason::NoNetworkAddress : Verdict::Reason::PhoneNoAnswer;
        return verdict;
    }
    verdict.address = address + ":" + phone.port;
    const PhoneChoice chosen{phone.serial, !findNetworkSerial(*entries, address, phone.port).empty(), ""};
    verdict.succeeded = switchAndConnect(*entries, chosen, address, phone.port, adbPath, environment);
    return verdict;
}

Verdict switchPhoneToUsb(const std::string& address, const std::string& port, const std::string& adbPath,
                         const CommandEnvironment& environment, const RememberedPhones* remembered)
{
    Verdict verdict{Verdict::Request::Stop, false, address, adbPath};
    const std::optional<std::vector<DeviceEntry>> entries = listDevices(adbPath, verdict, environment);
    if (!entries)
        return verdict;
    const std::string serial = findNetworkSerial(*entries, address, port);
    if (serial.empty()) {
        verdict.reason = Verdict::Reason::NotOnNetwork;
        // A phone on USB here still gets told it is not on the network.
        if (remembered && !isThisComputersPhone(*entries, address, {}, *remembered) &&
            !isThisComputersPhone(*entries, address, askUsbPhones(*entries, adbPath, environment), *remembered))
            verdict.reason = Verdict::Reason::LeftAlone;
    } else if (exitedWithZero(runAdb(adbPath, {"-s", serial, "usb"}, environment))) {
        runAdb(adbPath, {"disconnect", serial}, environment);
        verdict.succeeded = true;
    }
    return verdict;
}
