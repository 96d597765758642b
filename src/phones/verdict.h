// How a command that reached adb ended, and how that reads.
#pragma once

#include <string>

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
