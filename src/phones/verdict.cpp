#include "verdict.h"

std::string verdictText(const Verdict& verdict)
{
    using Reason = Verdict::Reason;
    if (verdict.reason == Reason::LeftAlone)
        return "No phone of this computer has the address " + verdict.address.substr(0, verdict.address.rfind(':')) +
               ": request left alone";
    std::string text;
    switch (verdict.request) {
    case Verdict::Request::Start:
        text = (verdict.succeeded ? "Connected to " : "Could not connect to ") + verdict.address;
        break;
    case Verdict::Request::Reconnect:
        text = (verdict.succeeded ? "Reconnected to " : "Could not reconnect to ") + verdict.address;
        break;
    case Verdict::Request::Stop:
        text = (verdict.succeeded ? "Switched " : "Could not switch ") + verdict.address + " to USB";
        break;
    }
    if (verdict.succeeded)
        return text;
    switch (verdict.reason) {
    case Reason::AdbNoAnswer:
        return text + ": adb did not answer";
    case Reason::NotOnNetwork:
        return text + ": not connected over the network";
    case Reason::PhoneNoAnswer:
        return text + ": the phone did not answer";
    case Reason::NoNetworkAddress:
        return text + ": the phone has no network address";
    default:
        return text;
    }
}
