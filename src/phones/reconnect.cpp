#include "reconnect.h"

#include "command_worker.h"
#include "remembered_phones.h"
#include "services/event_log.h"
#include "services/settings.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::string_view STORE_NAME = "Phones";
// More than the limit's worth of the longest entries ("255.255.255.255:65535").
constexpr std::size_t STORE_LIMIT = 4096;

// Touched by the command worker only, once it runs.
RememberedPhones remembered;

void storeRemembered()
{
    std::string text;
    for (const std::string& phone : remembered)
        text += (text.empty() ? "" : std::string(1, SETTING_LIST_SEPARATOR)) + phone;
    storeSetting(STORE_NAME, text);
}

std::string repeatTag(std::string_view address)
{
    return "reconnect " + std::string(address);
}

// Connects again each of the phones that adb does not list as ready; try
// `attempt` since the moment, 0 at the moment itself.
std::vector<Verdict> tryPhones(const RememberedPhones& phones, std::size_t attempt, CommandClock::time_point moment)
{
    if (phones.empty())
        return {};
    const CommandEnvironment environment;
    writeLog({"Checking remembered phones"});
    const std::string adbPath = adbPathOrDefault(environment);
    const ToolRun devices = runAdb(adbPath, {"devices", "-l"}, environment);
    std::vector<Verdict> verdicts;
    if (!devices.started) {
        // Nothing more is tried, as for a command.
        for (const std::string& phone : phones)
            verdicts.push_back({Verdict::Request::Reconnect, false, phone, adbPath, true});
    }
    for (const PhoneToReconnect& phone : phonesToReconnect(devices.started ? phones : RememberedPhones(),
                                                           parseDeviceList(devices.output))) {
        if (phone.listed)
            runAdb(adbPath, {"disconnect", phone.phone}, environment);
        if (judgeConnectRun(runAdb(adbPath, {"connect", phone.phone}, environment)) == ConnectResult::Connected) {
            verdicts.push_back({Verdict::Request::Reconnect, true, phone.phone, adbPath});
        } else if (attempt < std::size(RECONNECT_REPEATS)) {
            // A short command of its own, so that datagrams wait for no phone.
            queueCommandAt(moment + RECONNECT_REPEATS[attempt], repeatTag(phoneAddress(phone.phone)),
                           [phone = phone.phone, attempt, moment]() -> std::vector<Verdict> {
                               // Forgotten or replaced meanwhile: nothing to try.
                               if (std::find(remembered.begin(), remembered.end(), phone) == remembered.end())
                                   return {};
                               return tryPhones({phone}, attempt + 1, moment);
                           });
        } else {
            verdicts.push_back({Verdict::Request::Reconnect, false, phone.phone, adbPath});
        }
    }
    for (const Verdict& verdict : verdicts)
        writeLog({verdictText(verdict)});
    return verdicts;
}

}  // namespace

void loadRememberedPhones()
{
    remembered = parseRememberedPhones(loadSetting(STORE_NAME, STORE_LIMIT));
}

void checkRememberedPhones()
{
    queueCommand([moment = CommandClock::now()] {
        // This check tries every phone: repeats of an earlier one are done with.
        for (const std::string& phone : remembered)
            cancelCommands(repeatTag(phoneAddress(phone)));
        return tryPhones(remembered, 0, moment);
    });
}

void rememberFromVerdict(const Verdict& verdict)
{
    const bool connectedByStart = verdict.request == Verdict::Request::Start && verdict.succeeded;
    if (!connectedByStart && verdict.request != Verdict::Request::Stop)
        return;
    // ADDRESS:PORT for a start, ADDRESS for a stop.
    const std::string address(verdict.request == Verdict::Request::Stop ? verdict.address
                                                                         : phoneAddress(verdict.address));
    cancelCommands(repeatTag(address));
    if (connectedByStart)
        rememberPhone(remembered, address, verdict.address.substr(std::min(address.size() + 1, verdict.address.size())));
    else if (!forgetPhone(remembered, address))
        return;
    storeRemembered();
}
