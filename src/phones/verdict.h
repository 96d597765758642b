// How a command that reached adb ended, and how that reads.
#pragma once

#include <string>

struct Verdict {
    enum class Request { Start, Stop, Reconnect } request = Request::Start;
    bool succeeded = false;
    // ADDRESS:PORT for a start or a reconnect, ADDRESS for a stop; the
    // menu's switch to Wi-Fi names the phone's SERIAL until the phone has
    // told its address.
    std::string address = {};
    std::string adbPath = {};  // the adb that was run
    // Why it failed, where more is known than that it did.
    enum class Reason {
        None,
        AdbNotStarted,     // adb could not be started at all
        AdbNoAnswer,       // `adb devices -l` failed, exited non-zero or was ended
        NotOnNetwork,      // a stop found no network entry of the phone
        PhoneNoAnswer,     // the phone to switch could not be asked for its addresses
        NoNetworkAddress,  // it answered with none
        LeftAlone,         // the sender is no phone of this computer (phone_choice.h)
    } reason = Reason::None;
};

// "Connected to A:P", "Could not connect to A:P", "Switched A to USB",
// "Could not switch A to USB", "Reconnected to A:P", "Could not reconnect
// to A:P"; a failure with a reason has it after ": " ("adb did not
// answer", "not connected over the network", "the phone did not answer",
// "the phone has no network address"). That adb could not be started is
// told apart (tray_window.h). A request left alone reads "No phone of this
// computer has the address A: request left alone".
std::string verdictText(const Verdict& verdict);
