#include "switch_steps.h"

#include "services/event_log.h"

#include <chrono>
#include <thread>

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

ToolRun askPhoneAddresses(const std::string& adbPath, const std::string& serial, const CommandEnvironment& environment)
{
    return runAdb(adbPath, {"-s", serial, "shell", "ip", "-4", "-o", "addr", "show"}, environment);
}

std::optional<std::vector<std::string>> addressesTold(const ToolRun& asked)
{
    return exitedWithZero(asked) ? std::optional(parsePhoneAddresses(asked.output)) : std::nullopt;
}

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
    return verdict;
}
