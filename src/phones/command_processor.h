// Turns a decoded command datagram, or a choice in the tray menu, into the
// switch steps (switch_steps.h), writing every step to the event log, and
// ends with a verdict. A "start" finds the sender among the devices adb
// knows, switches that phone to the network with `adb -s SERIAL tcpip PORT`
// and connects to ADDRESS:PORT, trying again while the phone restarts. A
// "stop" switches the sender's network entry back with
// `adb -s ADDRESS:PORT usb` and disconnects it. A start received within
// REPEAT_WINDOW_MS of the last accepted start's receipt, from its address or
// for its port, is ignored.
//
// Called by the command worker only: commands are handled one at a time,
// each to its end, tool runs included.
#pragma once

#include "intake/command_datagram.h"
#include "repeat_rule.h"
#include "switch_steps.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

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
