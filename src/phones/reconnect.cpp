#include "reconnect.h"

#include "remembered_phones.h"
#include "services/event_log.h"
#include "services/settings.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::string_view STORE_NAME = "Phones";
// More than the limit's worth of the longest entries ("255.255.255.255:65535").
constexpr std::size_t STORE_LIMIT = 4096;

// Touched by the command worker only, once it runs.
RememberedPhones remembered;
// Set from the moment a check is queued until its last command has ended.
std::atomic<bool> checkUnderway{false};

// What the commands of one check share.
struct Moment {
    CommandQueue queue;
    CommandEnvironment environment;
    CommandClock::time_point moment;
};
using Check = std::shared_ptr<const Moment>;

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

bool isRemembered(const std::string& phone)
{
    return std::find(remembered.begin(), remembered.end(), phone) != remembered.end();
}

std::vector<Verdict> logged(std::vector<Verdict> verdicts)
{
    for (const Verdict& verdict : verdicts)
        writeLog({verdictText(verdict)});
    return verdicts;
}

std::vector<Verdict> repeatTry(const Check& check, const std::string& phone, std::size_t attempt);

// What a check, or a repeat of a try at phone, asks first: what adb lists.
// failed is set to the verdict of a failed try, with the reason when adb did
// not answer.
std::optional<std::vector<DeviceEntry>> listForCheck(const Check& check, const std::string& phone, Verdict& failed)
{
    writeLog({"Checking remembered phones"});
    failed = {Verdict::Request::Reconnect, false, phone, adbPathOrDefault(check->environment)};
    return listDevices(failed.adbPath, failed, check->environment);
}

// After failed try `attempt` (0 for the check's own): the next one at its
// repeat; after the last, or when adb cannot be started, the verdict.
std::vector<Verdict> afterFailure(const Check& check, std::size_t attempt, const Verdict& failed)
{
    if (attempt >= std::size(RECONNECT_REPEATS) || failed.reason == Verdict::Reason::AdbNotStarted)
        return logged({failed});
    check->queue.queueAt(check->moment + RECONNECT_REPEATS[attempt], repeatTag(phoneAddress(failed.address)),
                        [check, phone = failed.address, attempt] { return repeatTry(check, phone, attempt + 1); });
    return {};
}

// One connect, after `adb disconnect` when adb lists the phone in another
// state: adb would answer "already connected" without connecting.
std::vector<Verdict> tryPhone(const Check& check, const PhoneToReconnect& phone, std::size_t attempt)
{
    const std::string adbPath = adbPathOrDefault(check->environment);
    if (phone.listed)
        runAdb(adbPath, {"disconnect", phone.phone}, check->environment);
    Verdict verdict{Verdict::Request::Reconnect, false, phone.phone, adbPath};
    verdict.succeeded =
        judgeConnectRun(runAdb(adbPath, {"connect", phone.phone}, check->environment)) == ConnectResult::Connected;
    return verdict.succeeded ? logged({verdict}) : afterFailure(check, attempt, verdict);
}

// A repeat asks adb afresh: the phone may be back by itself.
std::vector<Verdict> repeatTry(const Check& check, const std::string& phone, std::size_t attempt)
{
    if (!isRemembered(phone))
        return {};  // forgotten or replaced meanwhile
    Verdict failed;
    const std::optional<std::vector<DeviceEntry>> entries = listForCheck(check, phone, failed);
    if (!entries)
        return afterFailure(check, attempt, failed);
    const std::vector<PhoneToReconnect> toTry = phonesToReconnect({phone}, *entries);
    return toTry.empty() ? std::vector<Verdict>() : tryPhone(check, toTry.front(), attempt);
}

// The phones from `next` on, one command each, each queued once the one
// before it has ended.
void queuePhones(const Check& check, const std::vector<PhoneToReconnect>& phones, std::size_t next)
{
    const bool queued = next < phones.size() && check->queue.queue([check, phones, next] {
        const std::vector<Verdict> verdicts =
            isRemembered(phones[next].phone) ? tryPhone(check, phones[next], 0) : std::vector<Verdict>();
        queuePhones(check, phones, next + 1);
        return verdicts;
    });
    if (!queued)
        checkUnderway = false;
}

std::vector<Verdict> runCheck(const Check& check)
{
    // This check tries every phone: repeats of an earlier one are done with.
    for (const std::string& phone : remembered)
        check->queue.cancel(repeatTag(phoneAddress(phone)));
    if (remembered.empty()) {
        checkUnderway = false;
        return {};
    }
    Verdict failed;
    const std::optional<std::vector<DeviceEntry>> entries = listForCheck(check, "", failed);
    if (entries) {
        queuePhones(check, phonesToReconnect(remembered, *entries), 0);
        return {};
    }
    // No connect runs on a listing that did not work: a failed try for each.
    checkUnderway = false;
    std::vector<Verdict> verdicts;
    for (const std::string& phone : remembered) {
        failed.address = phone;
        const std::vector<Verdict> shown = afterFailure(check, 0, failed);
        verdicts.insert(verdicts.end(), shown.begin(), shown.end());
    }
    return verdicts;
}

}  // namespace

void loadRememberedPhones()
{
    remembered = parseRememberedPhones(loadSetting(STORE_NAME, STORE_LIMIT));
}

const RememberedPhones& rememberedPhones()
{
    return remembered;
}

void checkRememberedPhones(const CommandQueue& queue, const CommandEnvironment& environment)
{
    if (checkUnderway.exchange(true))
        return;  // joins the check that waits or runs
    const Check check = std::make_shared<const Moment>(Moment{queue, environment, queue.now()});
    if (!queue.queue([check] { return runCheck(check); }))
        checkUnderway = false;
}

void checkRememberedPhones()
{
    checkRememberedPhones({}, {});
}

void rememberFromVerdict(const Verdict& verdict)
{
    rememberFromVerdict(verdict, {});
}

void rememberFromVerdict(const Verdict& verdict, const CommandQueue& queue)
{
    const bool connectedByStart = verdict.request == Verdict::Request::Start && verdict.succeeded;
    // A stop that could not ask adb, or one left alone, tells nothing of the phone.
    const bool stopped = verdict.request == Verdict::Request::Stop && verdict.reason != Verdict::Reason::AdbNoAnswer &&
                         verdict.reason != Verdict::Reason::LeftAlone;
    if (!connectedByStart && !stopped)
        return;
    // ADDRESS:PORT for a start, ADDRESS for a stop.
    const std::string address(stopped ? verdict.address : phoneAddress(verdict.address));
    queue.cancel(repeatTag(address));
    if (connectedByStart)
        rememberPhone(remembered, address, verdict.address.substr(std::min(address.size() + 1, verdict.address.size())));
    else if (!forgetPhone(remembered, address))
        return;
    storeRemembered();
}
