#include "tray_window.h"

#include "resource_ids.h"
#include "services/wide_text.h"
#include "version.h"

#include <cctype>
#include <cstdio>

const char* const ABOUT_TEXT = "Velmora " VELMORA_VERSION "\nCorvend\nhttps://corvend.example/velmora";

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

int menuCommandFromText(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return 0;
    text = text.substr(first, text.find_last_not_of(" \t\r") - first + 1);

    struct Item {
        std::string_view text;
        int command;
    };
    static constexpr Item items[] = {
        {"View log", IDM_VIEW_LOG},
        {"Set ADB Path", IDM_SET_ADB_PATH},
        {"About", IDM_ABOUT},
        {"Exit", IDM_EXIT},
    };
    for (const Item& item : items) {
        if (equalsIgnoringCase(text, item.text))
            return item.command;
    }
    return 0;
}

OutcomeWords describeOutcome(const Verdict& verdict, ClockTime time)
{
    const std::string clock = twoDigits(time.hour) + ":" + twoDigits(time.minute);
    const std::string text = verdictText(verdict);
    OutcomeWords words;
    words.tooltip = cutToUtf16Units("Velmora\n" + text + " at " + clock, TOOLTIP_LIMIT);
    if (verdict.reason == Verdict::Reason::AdbNotStarted) {
        // The path is what to mend: it goes first, shortened only to keep the hint.
        const std::string missing = "adb could not be started: " + verdict.adbPath;
        const std::string hint = "\nChoose \"Set ADB Path\" in Velmora's menu.";
        words.kind = OutcomeWords::Kind::AdbNotStarted;
        words.balloon = cutToUtf16Units(missing, BALLOON_LIMIT - hint.size()) + hint;
        words.lines = {missing, text};
    } else if ((verdict.request == Verdict::Request::Reconnect && !verdict.succeeded) ||
               verdict.reason == Verdict::Reason::LeftAlone) {
        // A phone that is away should not raise a warning at every network
        // change, nor a colleague's phone at every request: the tooltip and
        // the log are enough.
    } else {
        words.kind = verdict.succeeded ? OutcomeWords::Kind::Success : OutcomeWords::Kind::Failure;
        words.balloon = text + (verdict.reason == Verdict::Reason::NoNetworkAddress
                                    ? "\nJoin the phone to the same Wi-Fi network as this computer."
                                    : "");
        words.lines = {text};
    }
    return words;
}
