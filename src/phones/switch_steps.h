// The steps of switching a phone, which every door that asks for a switch
// (a datagram, the tray menu, the remembered phones) puts in order: adb run
// and logged, the phone chosen, switched, connected with its tries.
#pragma once

#include "phone_choice.h"
#include "services/adb_location.h"
#include "services/tool_runner.h"
#include "verdict.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A phone switched to the network restarts its adb daemon before it listens:
// a refused connect is tried again this long after the previous try ended,
// until this long after the switch.
constexpr std::uint32_t CONNECT_RETRY_MS = 250;
constexpr std::uint32_t CONNECT_WAIT_MS = 10000;

// The platform's millisecond tick count since system start, wrapping at 2^32.
std::uint32_t currentTick();
void sleepMilliseconds(std::uint32_t milliseconds);

// What the processor asks of the world; tests replace any of it. The clock
// paces the connect tries; the repeat rule goes by the datagrams' own stamps.
struct CommandEnvironment {
    std::function<std::uint32_t()> readTick = currentTick;
    std::function<std::string()> readAdbPath = loadAdbPath;
    ToolLauncher launchTool = launchAndWait;
    std::function<void(std::uint32_t milliseconds)> sleep = sleepMilliseconds;
};

// One adb run with the arguments, logged as launched ("adb ARGUMENTS") and as
// it ended.
ToolRun runAdb(const std::string& adbPath, const ToolArguments& arguments, const CommandEnvironment& environment);

// The stored adb path, or DEFAULT_ADB_PATH when none is stored.
std::string adbPathOrDefault(const CommandEnvironment& environment);

// How a run of `adb connect` went: as judgeConnect says, and failed when the
// run had to be ended.
ConnectResult judgeConnectRun(const ToolRun& connect);

// Asks the phone with this serial for its addresses.
ToolRun askPhoneAddresses(const std::string& adbPath, const std::string& serial, const CommandEnvironment& environment);

// What the phone told; nullopt when it could not run the command (the run
// failed or exited non-zero).
std::optional<std::vector<std::string>> addressesTold(const ToolRun& asked);

// Connects to sender:port; after a switch, a refused connect is tried again
// while the phone restarts. True when connected.
bool connectWithTries(const std::string& adbPath, const std::string& sender, const std::string& port, bool switched,
                      const CommandEnvironment& environment);

// Switches the sender's phone to the network, if adb lists it, and connects
// to it; true when connected.
bool switchAndConnect(const std::string& adbPath, const std::string& deviceList, const std::string& sender,
                      const std::string& port, const CommandEnvironment& environment);

// What a stop from sender does; the verdict is for the caller to log.
Verdict stopPhone(const std::string& sender, const std::string& adbPath, const CommandEnvironment& environment);
