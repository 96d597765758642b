// Turns a decoded command datagram into adb runs, writing every step to the
// event log, and ends with a verdict. A "start" finds the sender among the
// devices adb knows, switches that phone to the network with
// `adb -s SERIAL tcpip PORT` and connects to ADDRESS:PORT, trying again while
// the phone restarts. A "stop" switches the sender's network entry back with
// `adb -s ADDRESS:PORT usb` and disconnects it. A start received within
// REPEAT_WINDOW_MS of the last accepted start's receipt, from its address or
// for its port, is ignored.
//
// Called by the command worker only: commands are handled one at a time,
// each to its end, tool runs included.
#pragma once

#include "adb_devices.h"
#include "command_datagram.h"
#include "services/adb_location.h"
#include "services/tool_runner.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint32_t REPEAT_WINDOW_MS = 10000;
// A phone switched to the network restarts its adb daemon before it listens:
// a refused connect is tried again this long after the previous try ended,
// until this long after the switch.
constexpr std::uint32_t CONNECT_RETRY_MS = 250;
constexpr std::uint32_t CONNECT_WAIT_MS = 10000;

// The last accepted start. A stop empties address and port but keeps the tick.
struct LastStart {
    std::string address;
    std::string port;
    std::uint32_t tick = 0;  // when it was received, in milliseconds since system start, wrapping
};

// Process-wide; touched only by the command worker.
extern LastStart lastStart;

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

// How a command that reached adb ended: what was asked, whether it worked,
// and for which address.
struct Verdict {
    enum class Request { Start, Stop, Reconnect } request = Request::Start;
    bool succeeded = false;
    std::string address = {};    // ADDRESS:PORT for a start or a reconnect, ADDRESS for a stop
    std::string adbPath = {};    // the adb that was run
    bool adbNotStarted = false;  // it could not be started
    bool notOnNetwork = false;   // a stop found no network entry of the sender
    bool noNetworkAddress = false;  // the phone to switch from the menu has none; address holds its serial
};

// "Connected to A:P", "Could not connect to A:P" (or "Could not connect to
// SERIAL: the phone has no network address"), "Switched A to USB", "Could
// not switch A to USB" and, when the phone was not connected over the
// network, ": not connected over the network" after it; "Reconnected to A:P",
// "Could not reconnect to A:P".
std::string verdictText(const Verdict& verdict);

// A port that adb can take and that cannot add anything to a command line:
// 1 to 5 ASCII digits with a value from 1 to 65535 (leading zeros allowed).
bool isValidPort(std::string_view port);

// True when a start from address and port at tick now repeats the last one.
bool isRepeatedStart(const LastStart& last, std::string_view address, std::string_view port,
                     std::uint32_t now);

// The verdict, also logged; none for what never reached adb (not a command,
// an unknown one, an invalid port, a repeated start).
std::optional<Verdict> handleCommand(const CommandDatagram& datagram, const CommandEnvironment& environment = {});

// The tray menu's "Switch MODEL to USB" for the network entry ADDRESS:PORT:
// "Menu: switch ADDRESS:PORT to USB", then what a stop from ADDRESS does.
Verdict switchToUsb(const std::string& entry, const CommandEnvironment& environment);

// The tray menu's "Switch MODEL to Wi-Fi" for the USB phone with this serial:
// "Menu: switch SERIAL to Wi-Fi", then what a start from it for
// MENU_WIFI_PORT does, its address read from the phone and chosen among its
// addresses by chooseAddress ("" for none). Sets the repeat record as a
// start does; the verdict is logged.
constexpr const char* MENU_WIFI_PORT = "5555";  // adb's usual port
using AddressChooser = std::function<std::string(const std::vector<std::string>& addresses)>;
Verdict switchToWifi(const std::string& serial, const AddressChooser& chooseAddress,
                     const CommandEnvironment& environment);

// One adb run with the arguments, logged as launched ("adb ARGUMENTS") and as
// it ended.
ToolRun runAdb(const std::string& adbPath, const ToolArguments& arguments, const CommandEnvironment& environment);

// The stored adb path, or DEFAULT_ADB_PATH when none is stored.
std::string adbPathOrDefault(const CommandEnvironment& environment);

// How a run of `adb connect` went: as judgeConnect says, and failed when the
// run had to be ended.
ConnectResult judgeConnectRun(const ToolRun& connect);
