#include "services/adb_location.h"
#include "services/event_log.h"
#include "services/tool_runner.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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

ToolRun ran(std::string output = "", unsigned long exitCode = 0, int signal = 0, bool cut = false)
{
    ToolRun run;
    run.started = true;
    run.output = std::move(output);
    run.exitCode = exitCode;
    run.signal = signal;
    run.outputCut = cut;
    return run;
}

TEST(RunTool, LogsWhetherTheToolStartedAndWhatItSaid)
{
    resetLog();
    std::vector<std::pair<std::string, ToolArguments>> launches;
    const auto recordAnd = [&](ToolRun run) {
        return [&, run](const std::string& program, const ToolArguments& arguments) {
            launches.emplace_back(program, arguments);
            return run;
        };
    };
    EXPECT_TRUE(runTool("/sdk/adb", {"tcpip", "5555"}, recordAnd(ran("error: no devices/emulators found\n", 1))).started);
    EXPECT_FALSE(runTool("/sdk/adb", {"usb"}, recordAnd(ToolRun{})).started);

    EXPECT_EQ(readLogMessages(), (std::vector<std::string>{"successfully", "adb: error: no devices/emulators found",
                                                           "adb exit code: 1", "error"}));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].first, "/sdk/adb");
    EXPECT_EQ(launches[0].second, (ToolArguments{"tcpip", "5555"}));
    EXPECT_EQ(launches[1].second, (ToolArguments{"usb"}));
}

TEST(ToolReport, TellsWhatTheToolWroteAndHowItEnded)
{
    std::string eleven, longLine(300, 'x');
    for (int i = 1; i <= 11; ++i)
        eleven += "line " + std::to_string(i) + "\n";
    std::vector<std::string> firstTen;
    for (int i = 1; i <= 10; ++i)
        firstTen.push_back("adb: line " + std::to_string(i));
    struct Case {
        const char* what;
        ToolRun run;
        std::vector<std::string> report;
    };
    const Case cases[] = {
        {"silent success", ran(), {}},
        {"connected", ran("connected to 198.18.0.2:5555\n"), {"adb: connected to 198.18.0.2:5555"}},
        {"Windows line ends and blank lines", ran("\r\n* daemon started successfully\r\n\n\nrestarting in TCP mode\r\n"),
         {"adb: * daemon started successfully", "adb: restarting in TCP mode"}},
        {"no line end at the end", ran("failed to authenticate"), {"adb: failed to authenticate"}},
        {"control characters", ran("a\tb\x1b[31mc\rd\x7f\n"), {"adb: a?b?[31mc?d?"}},
        {"bytes above ASCII stay", ran("\xc3\xa9t\xc3\xa9\n"), {"adb: \xc3\xa9t\xc3\xa9"}},
        {"long line", ran(longLine + "\n"), {"adb: " + std::string(200, 'x')}},
        {"eleven lines", ran(eleven), [&] {
             auto lines = firstTen;
             lines.push_back("adb: ...");
             return lines;
         }()},
        {"ten lines and blank ones", ran(eleven.substr(0, eleven.rfind("line 11")) + "\n\n"), firstTen},
        {"output cut at the read limit", ran("x\n", 0, 0, true), {"adb: x", "adb: ..."}},
        {"refused connection exits 0", ran("failed to connect to '198.18.0.2:5555': Connection refused\n"),
         {"adb: failed to connect to '198.18.0.2:5555': Connection refused"}},
        {"exit code as the OS reports it", ran("", 3221225477ul), {"adb exit code: 3221225477"}},
        {"ended by a signal", ran("", 0, 9), {"adb ended by signal 9"}},
        {"wait failed", [r = ran()]() mutable { return r.exitCodeKnown = false, r; }(), {"adb exit code unknown"}},
        {"ended at its time limit", [r = ran("restarting in TCP mode\n", 0, 9)]() mutable { return r.timedOut = true, r; }(),
         {"adb: restarting in TCP mode", "adb did not finish within 20 s and was ended"}},
        {"output to the null device", [r = ran("", 1)]() mutable { return r.outputCaptured = false, r; }(),
         {"adb: (output not captured)", "adb exit code: 1"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toolReport(c.run), c.report) << c.what;
}

TEST(ReadToolOutput, TakesUpToTheLimitAndTellsWhetherThereWasMore)
{
    for (const std::size_t size : {std::size_t{0}, TOOL_OUTPUT_READ_LIMIT, TOOL_OUTPUT_READ_LIMIT + 1,
                                   std::size_t{1} << 20}) {
        std::string file(size, 'x');
        for (std::size_t i = 0; i < size; i += 7)
            file[i] = static_cast<char>(i);
        ToolRun run;
        readToolOutput(run, [&](char* buffer, std::size_t wanted, std::size_t offset) {
            const std::size_t count = std::min({wanted, std::size_t{1000}, file.size() - offset});
            file.copy(buffer, count, offset);
            return static_cast<long long>(count);
        });
        EXPECT_EQ(run.output, file.substr(0, TOOL_OUTPUT_READ_LIMIT)) << size;
        EXPECT_EQ(run.outputCut, size > TOOL_OUTPUT_READ_LIMIT) << size;
    }
}

TEST(LaunchAndWait, MissingProgramIsNotStarted)
{
    const std::string record = prepareFakeAdb("missing");
    EXPECT_FALSE(launchAndWait(testDirectory() + "no such adb" + EXECUTABLE_SUFFIX, {"usb"}).started);
    EXPECT_FALSE(launchAndWait("", {"usb"}).started);
    EXPECT_TRUE(readFakeAdbRuns(record).empty());
}

TEST(LaunchAndWait, EveryArgumentArrivesWhole)
{
    const std::string record = prepareFakeAdb("awkward");
    const ToolArguments arguments = {"tcpip", "two words", "",          "say \"hi\"",
                                     "C:\\dir\\", "C:\\my dir\\", "a\\\\\"b", "tab\there",
                                     "%PATH%", "$HOME", "5555 & calc.exe"};
    ASSERT_TRUE(launchAndWait(fakeAdbPath(), arguments).started);
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].arguments, arguments);
}

TEST(LaunchAndWait, ReturnsOnlyAfterTheToolHasEndedWithWhatItWroteAndItsExitCode)
{
    const std::string record = prepareFakeAdb("sleeper", 700);
    setFakeAdbBehaviour("stdout restarting in TCP mode port: 5555\nstderr error: closed\nexit 3\n");
    const ToolRun run = launchAndWait(fakeAdbPath(), {"usb"});
    setFakeAdbBehaviour("");
    ASSERT_TRUE(run.started);
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].done);
    EXPECT_EQ(toolReport(run),
              (std::vector<std::string>{"adb: restarting in TCP mode port: 5555", "adb: error: closed", "adb exit code: 3"}));
}

TEST(LaunchAndWait, ProgramInAFolderWithSpaces)
{
    const std::string adb = copyFakeAdbInto(testDirectory() + "Program Files (x86)");
    const std::string record = prepareFakeAdb("spaces");
    ASSERT_TRUE(launchAndWait(adb, {"connect", "198.18.0.2:5555"}).started);
    const std::vector<FakeAdbRun> runs = readFakeAdbRuns(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].executable, adb);
    EXPECT_EQ(runs[0].arguments, (ToolArguments{"connect", "198.18.0.2:5555"}));
}

}  // namespace

#ifdef _WIN32
TEST(LaunchAndWait, RunsEvenWhenItsOutputCannotBeCaptured)
{
    // Windows makes the output file in the temporary folder.
    const std::string record = prepareFakeAdb("uncaptured");
    const char* tmp = std::getenv("TMP");
    const std::string savedTmp = tmp ? tmp : "";
    setEnvironment("TMP", testDirectory() + "no such folder");
    const ToolRun run = launchAndWait(fakeAdbPath(), {"usb"});
    setEnvironment("TMP", savedTmp);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(toolReport(run), std::vector<std::string>{"adb: (output not captured)"});
    EXPECT_EQ(readFakeAdbRuns(record).size(), 1u);
}
#endif
