// The doors through which a switch is asked for, each putting the switch
// steps (switch_steps.h) in order and ending with a logged verdict: a
// command datagram, and the tray menu's phone lines. A "start" switches the
// sender's phone to the network and connects to ADDRESS:PORT; a "stop"
// switches the sender's network entry back to USB. A start received within
// REPEAT_WINDOW_MS of the last accepted start's receipt, from its address or
// for its port, is ignored.
//
// Called by the command worker only: commands are handled one at a time,
// each to its end, tool runs included.
#pragma once

#include "intake/command_datagram.h"
#include "repeat_rule.h"
#include "switch_steps.h"

#include <cstdint>
#include <optional>
#include <string>

// The verdict, also logged; none for what never reached adb (not a command,
// an unknown one, an invalid port, a repeated start).
std::optional<Verdict> handleCommand(const CommandDatagram& datagram, const CommandEnvironment& environment = {});

// The tray menu's "Switch MODEL to USB" for the network entry ADDRESS:PORT:
// "Menu: switch ADDRESS:PORT to USB", then that very entry switched back.
// Clears the repeat record as a stop does.
Verdict menuSwitchToUsb(const std::string& entry, const CommandEnvironment& environment = {});

// The tray menu's "Switch MODEL to Wi-Fi" for the USB phone with this serial,
// chosen at the tick `chosen`: "Menu: switch SERIAL to Wi-Fi", then what a
// start from it for MENU_WIFI_PORT does, its address read from the phone and
// picked by chooseAddress. Once that address is known, the repeat record is
// set as by a start received when the line was chosen.
constexpr const char* MENU_WIFI_PORT = "5555";  // adb's usual port
Verdict menuSwitchToWifi(const std::string& serial, std::uint64_t chosen, const AddressChooser& chooseAddress,
                         const CommandEnvironment& environment = {});
