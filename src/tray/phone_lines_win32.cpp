#include "phone_lines_win32.h"

#include "intake/listener_sockets.h"
#include "phones/command_processor.h"
#include "phones/command_worker.h"
#include "phones/phone_menu.h"
#include "services/threads.h"
#include "services/tool_runner.h"
#include "services/wide_text.h"

#include <memory>

namespace {

constexpr unsigned FIRST_PHONE_COMMAND = 0x200;  // beyond the menu's own commands
constexpr std::size_t LONGEST_LINE = 100;        // UTF-16 units of a phone's line

// One run of `adb devices -l`, shared by its thread and the menu.
struct Listing {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ToolRun run;
    DWORD finishedAt = 0;  // GetTickCount() once done
    ~Listing() { CloseHandle(done); }
};

std::shared_ptr<Listing> pendingListing;   // started for a menu that could not wait for it
std::vector<PhoneMenuItem> shownItems;     // the phone lines of the last menu

std::shared_ptr<Listing> startListing()
{
    auto listing = std::make_shared<Listing>();
    const bool started = listing->done && startThread([listing] {
                                              listing->run = launchAndWait(adbPathOrDefault({}), {"devices", "-l"});
                                              listing->finishedAt = GetTickCount();
                                              SetEvent(listing->done);
                                          }) == 0;
    if (!started && listing->done) {
        listing->finishedAt = GetTickCount();
        SetEvent(listing->done);  // as an adb that could not be started
    }
    return listing;
}

// "&" shows as itself, not as the mark of a shortcut key.
WideString lineText(const std::string& text)
{
    WideString line;
    for (const wchar_t c : toUtf16(cutToUtf16Units(text, LONGEST_LINE)))
        line.append(c == L'&' ? 2 : 1, c);
    return line;
}

std::string facingAddress(const std::vector<std::string>& addresses)
{
    return chooseFacingAddress(addresses, listAdapters().value_or(std::vector<Adapter>()));
}

// True when the listing finished too long ago to show: phones may have gone.
bool isStale(const Listing& listing)
{
    return listing.done && WaitForSingleObject(listing.done, 0) == WAIT_OBJECT_0 &&
           GetTickCount() - listing.finishedAt > PHONE_LIST_FRESH_MS;
}

}  // namespace

void addPhoneLines(HMENU popup)
{
    if (!pendingListing || isStale(*pendingListing))
        pendingListing = startListing();
    shownItems.clear();
    const char* grayed = LOOKING_FOR_PHONES_LINE;
    if (!pendingListing->done || WaitForSingleObject(pendingListing->done, PHONE_LIST_WAIT_MS) == WAIT_OBJECT_0) {
        const ToolRun& run = pendingListing->run;
        if (run.started)
            shownItems = phoneMenuItems(parseDeviceList(run.output));
        grayed = run.started ? NO_PHONE_LINE : ADB_NOT_STARTED_LINE;
        pendingListing.reset();
    }
    UINT position = 0;
    for (const PhoneMenuItem& item : shownItems) {
        InsertMenuW(popup, position, MF_BYPOSITION | MF_STRING, FIRST_PHONE_COMMAND + position,
                    lineText(item.text).c_str());
        ++position;
    }
    if (shownItems.empty())
        InsertMenuW(popup, position++, MF_BYPOSITION | MF_STRING | MF_GRAYED, 0, toUtf16(grayed).c_str());
    InsertMenuW(popup, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

bool choosePhoneLine(unsigned command)
{
    if (command < FIRST_PHONE_COMMAND || command - FIRST_PHONE_COMMAND >= shownItems.size())
        return false;
    const PhoneMenuItem& item = shownItems[command - FIRST_PHONE_COMMAND];
    // The user interface never waits for a switch: it is a command of the
    // worker, stamped as it is chosen.
    if (item.to == PhoneMenuItem::Switch::ToWifi)
        queueStampedCommand([serial = item.serial](std::uint64_t chosen) {
            return std::vector<Verdict>{menuSwitchToWifi(serial, chosen, facingAddress)};
        });
    else
        queueCommand([entry = item.serial] { return std::vector<Verdict>{menuSwitchToUsb(entry)}; });
    return true;
}
