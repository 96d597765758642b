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

TEST(DescribeOutcome, TheSameWordsForBalloonTooltipAndTerminal)
{
    using Kind = OutcomeWords::Kind;
    using Request = Verdict::Request;
    const std::string hint = "\nChoose \"Set ADB Path\" in Velmora's menu.";
    const std::string gone = "C:\\Android\\adb.exe";
    const struct {
        Verdict verdict;
        Kind kind;
        std::string balloon;
        std::vector<std::string> lines;
    } cases[] = {
        {{Request::Start, true, "192.168.1.23:5555"}, Kind::Success, "Connected to 192.168.1.23:5555", {}},
        {{Request::Start, false, "192.168.1.23:5555"}, Kind::Failure, "Could not connect to 192.168.1.23:5555", {}},
        {{Request::Stop, true, "192.168.1.23"}, Kind::Success, "Switched 192.168.1.23 to USB", {}},
        {{Request::Stop, false, "192.168.1.23", "", false, true}, Kind::Failure,
         "Could not switch 192.168.1.23 to USB: not connected over the network", {}},
        {{Request::Stop, false, "192.168.1.23", gone, true}, Kind::AdbNotStarted,
         "adb could not be started: " + gone + hint,
         {"adb could not be started: " + gone, "Could not switch 192.168.1.23 to USB"}},
    };
    for (const auto& c : cases) {
        const OutcomeWords words = describeOutcome(c.verdict, {14, 3, 59});
        EXPECT_EQ(words.kind, c.kind) << c.balloon;
        EXPECT_EQ(words.balloon, c.balloon);
        const std::string verdict = verdictText(c.verdict);
        EXPECT_EQ(words.tooltip, "Velmora\n" + verdict + " at 14:03");
        EXPECT_EQ(words.lines, c.lines.empty() ? std::vector<std::string>{verdict} : c.lines);
    }
}

TEST(DescribeOutcome, LongestTextsFitWhereWindowsPutsThem)
{
    // The longest verdict, with the longest address, fits the tooltip whole.
    const Verdict longest{Verdict::Request::Stop, false, "255.255.255.255", "", false, true};
    EXPECT_EQ(describeOutcome(longest, {23, 59, 0}).tooltip,
              "Velmora\nCould not switch 255.255.255.255 to USB: not connected over the network at 23:59");
    // A long path of characters of two UTF-16 units each: cut between them,
    // one unit short of the limit, and the hint kept.
    std::string path = "x";
    for (int i = 0; i < 259; ++i)
        path += "\xf0\x9f\xa4\x96";
    const std::string balloon = describeOutcome({Verdict::Request::Start, false, "", path, true}, {}).balloon;
    EXPECT_EQ(toUtf16(balloon).size(), BALLOON_LIMIT - 1);
    EXPECT_EQ(balloon, "adb could not be started: " + path.substr(0, 1 + 4 * 93) +
                           "\nChoose \"Set ADB Path\" in Velmora's menu.");
}

}  // namespace
