// The steps of switching a phone, the same for every door that asks for a
// switch (a datagram, a line of the tray menu): adb asked what it lists, the
// phone chosen, a stale entry of it disconnected, the switch, the connect
// with its tries, the phone's old entries disconnected. A door only says how
// it names the phone. The remembered phones' check uses the same adb runs.
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

// Milliseconds since system start, from the steady clock.
std::uint64_t currentTick();
void sleepMilliseconds(std::uint32_t milliseconds);

// What the steps ask of the world; tests replace any of it. The clock paces
// the connect tries; the repeat rule goes by the commands' own stamps.
struct CommandEnvironment {
    std::function<std::uint64_t()> readTick = currentTick;
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

// What `adb devices -l` lists; nullopt when adb could not be started or did
// not answer (the run failed, exited non-zero, was ended or its output was
// lost): a listing that did not work is not an empty one. The reason then
// goes into failed.
std::optional<std::vector<DeviceEntry>> listDevices(const std::string& adbPath, Verdict& failed,
                                                    const CommandEnvironment& environment);

// How a door names the phone to switch to the network: by the address it
// asked from (a datagram's sender), or by its USB serial (a menu line), when
// the phone is asked for its addresses and chooseAddress picks one ("" for
// none).
using AddressChooser = std::function<std::string(const std::vector<std::string>& addresses)>;
struct NamedPhone {
    std::string sender;
    std::string serial;
    AddressChooser chooseAddress;
    std::string port;  // where it is to listen
    // For a sender: the phones remembered, which with adb's list tell
    // whether it is a phone of this computer (isThisComputersPhone).
    const RememberedPhones* remembered = nullptr;
};

// The switch to the network and the connect, as the header says; the
// verdict is the caller's to log. A sender that no phone of this computer
// has gets nothing beyond the listing and the address questions to the USB
// phones: its verdict is left alone.
Verdict switchPhoneToNetwork(const NamedPhone& phone, const std::string& adbPath,
                             const CommandEnvironment& environment);

// The switch back to USB of the network entry ADDRESS:PORT that adb lists
// as ready (on any port when port is empty): `adb -s ADDRESS:PORT usb`,
// then `adb disconnect ADDRESS:PORT`, or adb would keep calling the address
// and list the phone twice once it is back on USB. Given the remembered
// phones, a request from an address that no phone of this computer has is
// left alone; the USB phones are asked for their addresses only when neither
// adb's network entries nor the memory know it. The verdict is the caller's
// to log.
Verdict switchPhoneToUsb(const std::string& address, const std::string& port, const std::string& adbPath,
                         const CommandEnvironment& environment, const RememberedPhones* remembered = nullptr);
