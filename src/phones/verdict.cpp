#include "verdict.h"

std::string verdictText(const Verdict& verdict)
{
    if (verdict.request == Verdict::Request::Start) {
        return (verdict.succeeded ? "Connected to " : "Could not connect to ") + verdict.address +
               (verdict.noNetworkAddress ? ": the phone has no network address" : "");
    }
    if (verdict.request == Verdict::Request::Reconnect)
        return (verdict.succeeded ? "Reconnected to " : "Could not reconnect to ") + verdict.address;
    if (verdict.succeeded)
        return "Switched " + verdict.address + " to USB";
    return "Could not switch " + verdict.address + " to USB" +
           (verdict.notOnNetwork ? ": not connected over the network" : "");
}
