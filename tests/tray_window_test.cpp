#include "resource_ids.h"
#include "services/wide_text.h"
#include "tray/tray_window.h"

#include <gtest/gtest.h>

namespace {

TEST(MenuCommandFromText, NamesTheFourItems)
{
    EXPECT_EQ(menuCommandFromText("View log"), IDM_VIEW_LOG);
    EXPECT_EQ(menuCommandFromText("Set ADB Path"), IDM_SET_ADB_PATH);
    EXPECT_EQ(menuCommandFromText("About"), IDM_ABOUT);
    EXPECT_EQ(menuCommandFromText("Exit"), IDM_EXIT);
}

TEST(MenuCommandFromText, ForgivesCaseAndBlanksButNothingElse)
{
    EXPECT_EQ(menuCommandFromText("  exit\r"), IDM_EXIT);
    EXPECT_EQ(menuCommandFromText("\tset adb path "), IDM_SET_ADB_PATH);
    for (const char* text : {"", "   ", "Exi", "Exit now", "View  log", "quit", "About\x01"})
        EXPECT_EQ(menuCommandFromText(text), 0) << text;
}

TEST(DescribeOutcome, KindsTheLongestTooltipAndAnAdbThatCannotStart)
{
    using Kind = OutcomeWords::Kind;
    using Request = Verdict::Request;
    using Reason = Verdict::Reason;
    const std::pair<Verdict, Kind> kinds[] = {
        {{Request::Start, true, "192.168.1.23:5555"}, Kind::Success},
        {{Request::Stop, true, "192.168.1.23"}, Kind::Success},
        {{Request::Start, false, "192.168.1.23:5555"}, Kind::Failure},
        {{Request::Stop, false, "192.168.1.23", "adb", Reason::AdbNotStarted}, Kind::AdbNotStarted},
    };
    for (const auto& [verdict, kind] : kinds)
        EXPECT_EQ(describeOutcome(verdict, {}).kind, kind) << verdictText(verdict);

    // A phone that could not be reconnected is only in the tooltip; one that was is shown.
    const OutcomeWords away = describeOutcome({Request::Reconnect, false, "192.168.1.23:5555"}, {9, 5, 0});
    EXPECT_EQ(away.tooltip, "Velmora\nCould not reconnect to 192.168.1.23:5555 at 09:05");
    EXPECT_TRUE(away.balloon.empty() && away.lines.empty());
    const OutcomeWords back = describeOutcome({Request::Reconnect, true, "192.168.1.23:5555"}, {});
    EXPECT_EQ(back.balloon, "Reconnected to 192.168.1.23:5555");
    EXPECT_EQ(back.lines, std::vector<std::string>{back.balloon});
    // Only a phone that answered without an address is sent to the Wi-Fi.
    const Verdict noAddress{Request::Start, false, "R58M12ABCDE", "", Reason::NoNetworkAddress};
    EXPECT_EQ(describeOutcome(noAddress, {}).balloon, "Could not connect to R58M12ABCDE: the phone has no network "
                                                      "address\nJoin the phone to the same Wi-Fi network as this computer.");
    const Verdict noAnswer{Request::Start, false, "R58M12ABCDE", "", Reason::PhoneNoAnswer};
    EXPECT_EQ(describeOutcome(noAnswer, {}).balloon, "Could not connect to R58M12ABCDE: the phone did not answer");

    // The longest verdict, at the longest address, fits the tooltip whole.
    const Verdict longest{Request::Stop, false, "255.255.255.255", "", Reason::NotOnNetwork};
    const OutcomeWords words = describeOutcome(longest, {23, 59, 0});
    EXPECT_EQ(words.tooltip, "Velmora\nCould not switch 255.255.255.255 to USB: not connected over the network at 23:59");
    EXPECT_EQ(words.balloon, verdictText(longest));
    EXPECT_EQ(words.lines, std::vector<std::string>{verdictText(longest)});

    // A long path of characters of two UTF-16 units each is cut between them
    // in the balloon, one unit short of its limit, and the hint is kept.
    std::string path = "x";
    for (int i = 0; i < 259; ++i)
        path += "\xf0\x9f\xa4\x96";
    const OutcomeWords missing = describeOutcome({Request::Stop, false, "192.168.1.23", path, Reason::AdbNotStarted}, {});
    EXPECT_EQ(missing.balloon, "adb could not be started: " + path.substr(0, 1 + 4 * 93) +
                                   "\nChoose \"Set ADB Path\" in Velmora's menu.");
    EXPECT_EQ(toUtf16(missing.balloon).size(), BALLOON_LIMIT - 1);
    EXPECT_EQ(missing.lines,
              (std::vector<std::string>{"adb could not be started: " + path, "Could not switch 192.168.1.23 to USB"}));
}

}  // namespace
