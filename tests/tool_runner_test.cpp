#include "services/adb_location.h"
#include "services/event_log.h"
#include "services/tool_runner.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const std::string DEFAULT_WINDOWS_ADB =
    "C:\\Program Files (x86)\\Android\\android-sdk\\platform-tools\\adb.exe";

struct CommandLineCase {
    const char* name;
    ToolArguments arguments;
    std::string expectedTail;  // what follows the quoted program and a space
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, QuotesProgramAndArgumentsAsTheCRuntimeReadsThem)
{
    const std::optional<std::string> line = buildCommandLine(DEFAULT_WINDOWS_ADB, GetParam().arguments);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "\"" + DEFAULT_WINDOWS_ADB + "\" " + GetParam().expectedTail);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    testing::Values(
        CommandLineCase{"Tcpip", {"tcpip", "5555"}, "tcpip 5555"},
        CommandLineCase{"Connect", {"connect", "198.18.0.2:5555"}, "connect 198.18.0.2:5555"},
        CommandLineCase{"Empty", {"usb", ""}, "usb \"\""},
        CommandLineCase{"Space", {"a b"}, "\"a b\""},
        CommandLineCase{"Tab", {"a\tb"}, "\"a\tb\""},
        CommandLineCase{"Newline", {"a\nb"}, "\"a\nb\""},
        CommandLineCase{"EmbeddedQuote", {"say \"hi\""}, "\"say \\\"hi\\\"\""},
        CommandLineCase{"LoneQuote", {"\""}, "\"\\\"\""},
        CommandLineCase{"BackslashesStayLiteral", {"C:\\dir\\"}, "C:\\dir\\"},
        CommandLineCase{"TrailingBackslashInQuotes", {"C:\\my dir\\"}, "\"C:\\my dir\\\\\""},
        CommandLineCase{"BackslashesBeforeQuote", {"a\\\\\"b"}, "\"a\\\\\\\\\\\"b\""},
        CommandLineCase{"InjectionStaysOneArgument", {"5555 & calc.exe"}, "\"5555 & calc.exe\""}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

TEST(BuildCommandLine, RefusesProgramsThatCannotBeNamed)
{
    EXPECT_FALSE(buildCommandLine("", {"usb"}));
    EXPECT_FALSE(buildCommandLine("C:\\a\" b.exe", {"usb"}));
}

TEST(BuildCommandLine, LongLinesAreBuiltWhole)
{
    const std::string program = "C:\\" + std::string(300, 'd') + "\\adb.exe";
    const std::optional<std::string> line = buildCommandLine(program, {"connect", "198.18.0.2:5555"});
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "\"" + program + "\" connect 198.18.0.2:5555");
}

TEST(RunTool, LogsWhetherTheToolStarted)
{
    resetLog();
    std::vector<std::pair<std::string, ToolArguments>> launches;
    const auto recordAnd = [&](bool started) {
        return [&, started](const std::string& program, const ToolArguments& arguments) {
            launches.emplace_back(program, arguments);
            return started;
        };
    };
    EXPECT_TRUE(runTool("/sdk/adb", {"tcpip", "5555"}, recordAnd(true)));
    EXPECT_FALSE(runTool("/sdk/adb", {"usb"}, recordAnd(false)));

    EXPECT_EQ(readLogMessages(), (std::vector<std::string>{"successfully", "error"}));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].first, "/sdk/adb");
    EXPECT_EQ(launches[0].second, (ToolArguments{"tcpip", "5555"}));
    EXPECT_EQ(launches[1].second, (ToolArguments{"usb"}));
}

TEST(LaunchAndWait, MissingProgramIsNotStarted)
{
    const std::string record = prepareFakeAdb("missing");
    EXPECT_FALSE(launchAndWait(testDirectory() + "no such adb" + EXECUTABLE_SUFFIX, {"usb"}));
    EXPECT_FALSE(launchAndWait("", {"usb"}));
    EXPECT_TRUE(readFakeAdbRuns(record).empty());
}

TEST(LaunchAndWait, EveryArgumentArrivesWhole)
{
    const std::string record = prepareFakeAdb("awkward");
    const ToolArguments arguments = {"tcpip", "two words", "",          "say \"hi\"",
                                     "C:\\dir\\", "C:\\my dir\\", "a\\\\\"b", "tab\there",
                                     "%PATH%", "$HOME", "5555 & calc.exe"};
    ASSERT_TRUE(launchAndWait(fakeAdbPath(), arguments));
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].arguments, arguments);
}

TEST(LaunchAndWait, ReturnsOnlyAfterTheToolHasEnded)
{
    const std::string record = prepareFakeAdb("sleeper", 700);
    ASSERT_TRUE(launchAndWait(fakeAdbPath(), {"usb"}));
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].done);
}

TEST(LaunchAndWait, ProgramInAFolderWithSpaces)
{
    const std::string adb = copyFakeAdbInto(testDirectory() + "Program Files (x86)");
    const std::string record = prepareFakeAdb("spaces");
    ASSERT_TRUE(launchAndWait(adb, {"connect", "198.18.0.2:5555"}));
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].executable, adb);
    EXPECT_EQ(runs[0].arguments, (ToolArguments{"connect", "198.18.0.2:5555"}));
}

}  // namespace
