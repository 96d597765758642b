#include "phones/command_processor.h"
#include "phones/phone_menu.h"
#include "services/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

const char* const DEVICE = "198.18.0.2";

CommandDatagram datagram(const std::string& command, const std::string& port = "",
                         const std::string& sender = DEVICE)
{
    const std::string bytes = encodeCommandDatagram(command, port);
    return decodeCommandDatagram(bytes.data(), bytes.size(), sender);
}

struct Launch {
    std::string program;
    ToolArguments arguments;
};

// Handles commands with a settable clock and stored path, and records the
// tool launches instead of making them. adb prints what `said` holds for its
// arguments (exiting 1 after "error: ...", timing out on "(hangs)"), and
// refuses connects until the tick listensAt; each run takes 20 ms, and a
// sleep passes at once. Datagrams are stamped as received now.
class Processor : public testing::Test {
protected:
    void SetUp() override
    {
        lastStart = {};
        resetLog();
        environment.readTick = [this] { return now; };
        environment.readAdbPath = [this] {
            ++pathReads;
            return storedPath;
        };
        environment.launchTool = [this](const std::string& program, const ToolArguments& arguments) {
            launches.push_back({program, arguments});
            std::string key;
            for (const std::string& argument : arguments)
                key += (key.empty() ? "" : " ") + argument;
            ToolRun run;
            run.started = toolsStart;
            run.output = arguments[0] == "connect" && now < listensAt
                             ? "failed to connect to '" + arguments[1] + "': Connection refused\n"
                             : said[key];
            run.exitCode = run.output.rfind("error:", 0) == 0;
            run.timedOut = run.output == "(hangs)";
            now += 20;
            return run;
        };
        environment.sleep = [this](std::uint32_t ms) { now += ms; };
    }

    std::optional<Verdict> handle(CommandDatagram d)
    {
        d.receivedTick = now;
        return handleCommand(d, environment);
    }

    // Handles a start and tells whether it ran adb.
    bool startRuns(const std::string& port, const std::string& sender, std::uint32_t at)
    {
        now = at;
        const std::size_t before = launches.size();
        handle(datagram("start", port, sender));
        return launches.size() > before;
    }

    std::vector<ToolArguments> launchedArguments() const
    {
        std::vector<ToolArguments> all;
        for (const Launch& launch : launches)
            all.push_back(launch.arguments);
        return all;
    }

    std::uint32_t now = 50000;
    std::uint32_t listensAt = 0;
    std::map<std::string, std::string> said;
    std::string storedPath = "/opt/android sdk/adb";
    bool toolsStart = true;
    int pathReads = 0;
    std::vector<Launch> launches;
    CommandEnvironment environment;
};

const char* const PHONE_BESIDE_EMULATOR =
    "List of devices attached\n"
    "emulator-5554          device product:sdk model:sdk device:emu64xa transport_id:1\n"
    "R58M12ABCDE            device usb:1-4 product:beyond1 model:SM_G973F device:beyond1 transport_id:2\n\n";
const ToolArguments SHELL_IP = {"-s", "R58M12ABCDE", "shell", "ip", "-4", "-o", "addr", "show"};
const ToolArguments TCPIP = {"-s", "R58M12ABCDE", "tcpip", "5555"};
const ToolArguments CONNECT = {"connect", "198.18.0.2:5555"};
const ToolArguments DISCONNECT = {"disconnect", "198.18.0.2:5555"};

TEST_F(Processor, StartSwitchesTheSendersPhoneAndTriesToConnectWhileItRestarts)
{
    struct Case {
        const char* name;
        std::string devices;                      // beyond the phone beside the emulator
        std::map<std::string, std::string> said;  // beyond the device list and the phone's address
        std::uint32_t restartMs;                  // from the end of the third run
        std::vector<ToolArguments> beforeConnects;
        std::size_t connects;
        const char* logged;  // the verdict, or another line of the log
    };
    const auto waitsForApproval = "A device waits for approval of debugging on the phone";
    const ToolArguments fromOtherPort = {"-s", "198.18.0.2:4444", "tcpip", "5555"};
    // Each run takes 20 ms: a try starts every 270 ms until 10 s after the switch.
    const Case cases[] = {
        {"listens after 600 ms", "", {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 600,
         {SHELL_IP, TCPIP}, 4, "Connected to 198.18.0.2:5555"},
        {"never listens", "", {}, 100000, {SHELL_IP, TCPIP}, 38, "Could not connect to 198.18.0.2:5555"},
        {"switch refused", "", {{"-s R58M12ABCDE tcpip 5555", "error: device offline"}}, 100000, {SHELL_IP, TCPIP},
         1, "Could not connect to 198.18.0.2:5555"},
        {"approval asked", "", {{"connect 198.18.0.2:5555", "failed to authenticate to 198.18.0.2:5555"}}, 0,
         {SHELL_IP, TCPIP}, 1, "Could not connect to 198.18.0.2:5555"},
        {"connect ended at its time limit", "", {{"connect 198.18.0.2:5555", "(hangs)"}}, 0, {SHELL_IP, TCPIP}, 1,
         "Could not connect to 198.18.0.2:5555"},
        {"already connected, unapproved", "198.18.0.2:5555        unauthorized transport_id:3\n",
         {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 0, {SHELL_IP, TCPIP, DISCONNECT}, 1,
         waitsForApproval},
        {"switched from another port", "198.18.0.2:4444        device\n198.18.0.2:5555        offline\n",
         {{"-s R58M12ABCDE shell ip -4 -o addr show", "30: wlan0    inet 198.18.0.9/24"},
          {"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}},
         0, {SHELL_IP, fromOtherPort, {"disconnect", "198.18.0.2:4444"}, DISCONNECT}, 1,
         "Connected to 198.18.0.2:5555"},
    };
    for (const Case& c : cases) {
        resetLog();
        launches.clear();
        lastStart = {};
        said = c.said;
        said["devices -l"] = PHONE_BESIDE_EMULATOR + c.devices;
        said.emplace("-s R58M12ABCDE shell ip -4 -o addr show", "30: wlan0    inet 198.18.0.2/24 brd 198.18.0.255");
        listensAt = now + 3 * 20 + c.restartMs;
        const std::optional<Verdict> verdict = handle(datagram("start", "5555"));

        ASSERT_TRUE(verdict) << c.name;
        const Lines log = readLogMessages();
        EXPECT_NE(std::find(log.begin(), log.end(), c.logged), log.end()) << c.name;
        EXPECT_EQ(log.back(), verdictText(*verdict)) << c.name;
        std::vector<ToolArguments> launched = {{"devices", "-l"}};
        launched.insert(launched.end(), c.beforeConnects.begin(), c.beforeConnects.end());
        launched.insert(launched.end(), c.connects, CONNECT);
        EXPECT_EQ(launchedArguments(), launched) << c.name;
    }
}

TEST_F(Processor, MenuSwitchesAPhoneByItsSerialAtTheAddressThatFacesTheWorkstation)
{
    const AddressChooser facing = [](const std::vector<std::string>& addresses) {
        return chooseFacingAddress(addresses, {});
    };
    said["-s R58M12ABCDE shell ip -4 -o addr show"] = "1: lo    inet 127.0.0.1/8\n30: wlan0    inet 198.18.0.2/24";
    said["connect 198.18.0.2:5555"] = "connected to 198.18.0.2:5555";
    EXPECT_EQ(verdictText(switchToWifi("R58M12ABCDE", facing, environment)), "Connected to 198.18.0.2:5555");
    EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{SHELL_IP, TCPIP, CONNECT}));
    EXPECT_EQ(readLogMessages().front(), "Menu: switch R58M12ABCDE to Wi-Fi");
    EXPECT_EQ(lastStart.address + ":" + lastStart.port, "198.18.0.2:5555");

    launches.clear();
    said["-s R58M12ABCDE shell ip -4 -o addr show"] = "1: lo    inet 127.0.0.1/8";
    EXPECT_EQ(verdictText(switchToWifi("R58M12ABCDE", facing, environment)),
              "Could not connect to R58M12ABCDE: the phone has no network address");
    EXPECT_EQ(launchedArguments(), std::vector<ToolArguments>{SHELL_IP});

    resetLog();
    launches.clear();
    said["devices -l"] = "198.18.0.2:5555        device\n";
    EXPECT_EQ(verdictText(switchToUsb("198.18.0.2:5555", environment)), "Switched 198.18.0.2 to USB");
    EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{{"devices", "-l"}, {"-s", "198.18.0.2:5555", "usb"},
                                                               {"disconnect", "198.18.0.2:5555"}}));
    EXPECT_EQ(readLogMessages().front(), "Menu: switch 198.18.0.2:5555 to USB");
}

TEST_F(Processor, StartIsRecordedEvenWhenAdbCannotBeStarted)
{
    toolsStart = false;
    const std::optional<Verdict> verdict = handle(datagram("start", "5555"));

    ASSERT_TRUE(verdict && verdict->adbNotStarted);
    EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{{"devices", "-l"}}));
    EXPECT_EQ(readLogMessages().back(), "Could not connect to 198.18.0.2:5555");
    EXPECT_EQ(lastStart.address, DEVICE);
    EXPECT_EQ(lastStart.port, "5555");
}

TEST_F(Processor, StopSwitchesOnlyTheSendersNetworkEntryAndDisconnectsIt)
{
    const std::string twoPhones = "List of devices attached\n198.18.0.3:5555        device transport_id:3\n"
                                  "198.18.0.2:5555        device transport_id:4\n\n";
    const struct {
        std::map<std::string, std::string> said;
        std::vector<ToolArguments> launched;
        const char* verdict;
    } cases[] = {
        {{{"devices -l", twoPhones}},
         {{"devices", "-l"}, {"-s", "198.18.0.2:5555", "usb"}, {"disconnect", "198.18.0.2:5555"}},
         "Switched 198.18.0.2 to USB"},
        {{{"devices -l", twoPhones}, {"-s 198.18.0.2:5555 usb", "error: device offline"}},
         {{"devices", "-l"}, {"-s", "198.18.0.2:5555", "usb"}}, "Could not switch 198.18.0.2 to USB"},
        {{{"devices -l", "198.18.0.3:5555        device\n198.18.0.2:5555        offline\n"}},
         {{"devices", "-l"}}, "Could not switch 198.18.0.2 to USB: not connected over the network"},
    };
    for (const auto& c : cases) {
        launches.clear();
        lastStart = {DEVICE, "5555", 1};
        said = c.said;
        EXPECT_EQ(verdictText(*handle(datagram("stop"))), c.verdict);
        EXPECT_EQ(launchedArguments(), c.launched) << c.verdict;
        EXPECT_TRUE(lastStart.address.empty() && lastStart.port.empty() && lastStart.tick == 1) << c.verdict;
    }
}

TEST_F(Processor, NoStoredPathUsesTheDefaultEveryTime)
{
    storedPath = "";
    handle(datagram("stop"));
    handle(datagram("stop"));

    const std::string pathLine = "Path to ADB: " + std::string(DEFAULT_ADB_PATH);
    const Lines log = readLogMessages();
    ASSERT_EQ(log.size(), 14u);
    for (std::size_t stop : {0, 7})
        EXPECT_EQ(Lines(log.begin() + stop, log.begin() + stop + 4),
                  (Lines{"Received command", "Using default ADB path", pathLine, "Received stop command"}));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].program, DEFAULT_ADB_PATH);
}

TEST_F(Processor, StoredPathIsReadAfreshForEveryCommand)
{
    handle(datagram("stop"));
    storedPath = "/new/adb";
    handle(datagram("stop"));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[1].program, "/new/adb");
    EXPECT_EQ(pathReads, 2);
}

TEST_F(Processor, UnknownCommandLogsThePathAndNothingMore)
{
    for (const char* command : {"Start", "STOP", "", "restart", "startx"})
        handle(datagram(command, "5555"));
    const Lines log = readLogMessages();
    ASSERT_EQ(log.size(), 10u);
    for (std::size_t i = 0; i < log.size(); i += 2) {
        EXPECT_EQ(log[i], "Received command");
        EXPECT_EQ(log[i + 1], "Path to ADB: /opt/android sdk/adb");
    }
    EXPECT_TRUE(launches.empty());
}

TEST_F(Processor, NonCommandDatagramIsIgnoredSilently)
{
    for (const std::string& bytes : {"vqmstart"s, "VQ"s, ""s, "\0VQMstop"s, "XYZstop"s}) {
        handle(decodeCommandDatagram(bytes.data(), bytes.size(), DEVICE));
    }
    EXPECT_TRUE(readLog().empty());
    EXPECT_TRUE(launches.empty());
    EXPECT_EQ(pathReads, 0);
}

TEST_F(Processor, InvalidPortIsRefusedBeforeAnythingRuns)
{
    const LastStart before{"198.18.0.9", "7777", 123};
    for (const char* port : {"", "0", "00000", "65536", "99999", "123456", "\t5555", "55\"55",
                                   "5555\n", "55\r", "55a", "-1", "+1", "0x1F", "5555;reboot",
                                   "\xd9\xa5\xd9\xa5"}) {
        lastStart = before;
        resetLog();
        handle(datagram("start", port));
        EXPECT_EQ(readLogMessages(), (Lines{"Received command", "Path to ADB: /opt/android sdk/adb",
                                            "Ignored start command with invalid port"}))
            << "port \"" << port << '"';
        EXPECT_EQ(lastStart.address, before.address);
        EXPECT_EQ(lastStart.port, before.port);
        EXPECT_EQ(lastStart.tick, before.tick);
    }
    EXPECT_TRUE(launches.empty());
}

TEST(IsValidPort, AcceptsOneToFiveDigitsUpTo65535)
{
    for (const char* port : {"1", "5555", "65535", "05555", "00001", "0065"})
        EXPECT_TRUE(isValidPort(port)) << port;
    for (const char* port : {"", "0", "000", "65536", "070000", "1 2", " 1", "1e3", "٥"})
        EXPECT_FALSE(isValidPort(port)) << port;
}

TEST_F(Processor, LeadingZerosArePassedOnAsSent)
{
    said["devices -l"] = PHONE_BESIDE_EMULATOR;
    said["-s R58M12ABCDE shell ip -4 -o addr show"] = "error: closed";  // the one phone cannot tell
    handle(datagram("start", "05555"));
    ASSERT_EQ(launches.size(), 4u);
    EXPECT_EQ(launches[2].arguments, (ToolArguments{"-s", "R58M12ABCDE", "tcpip", "05555"}));
    EXPECT_EQ(launches[3].arguments, (ToolArguments{"connect", "198.18.0.2:05555"}));
}

TEST_F(Processor, RepeatedStartIsIgnoredForTenSeconds)
{
    ASSERT_TRUE(startRuns("5555", DEVICE, 1000));
    resetLog();
    EXPECT_FALSE(startRuns("5555", DEVICE, 11000));
    EXPECT_EQ(readLogMessages(), (Lines{"Received command", "Path to ADB: /opt/android sdk/adb"}));
    EXPECT_EQ(lastStart.tick, 1000u) << "an ignored start changes nothing";
    EXPECT_TRUE(startRuns("5555", DEVICE, 11001));
    EXPECT_EQ(lastStart.tick, 11001u);

    // Judged by receipt: a copy received 0.1 s after that start, carried
    // out once the start had taken 12 s (its phone was slow), is a repeat.
    const std::size_t before = launches.size();
    CommandDatagram copy = datagram("start", "5555");
    copy.receivedTick = 11101;
    now = 23001;
    EXPECT_FALSE(handleCommand(copy, environment));
    EXPECT_EQ(launches.size(), before);
}

TEST_F(Processor, SameAddressOrSamePortIsEnoughToRepeat)
{
    ASSERT_TRUE(startRuns("5555", DEVICE, 1000));
    EXPECT_FALSE(startRuns("5555", "198.18.0.3", 1001)) << "other device, same port";
    EXPECT_FALSE(startRuns("6666", DEVICE, 1002)) << "same device, other port";
    EXPECT_TRUE(startRuns("6666", "198.18.0.3", 1003)) << "both differ: no time check";
    EXPECT_EQ(lastStart.address, "198.18.0.3");
}

TEST_F(Processor, StopLetsTheSameDeviceStartAgainAtOnce)
{
    ASSERT_TRUE(startRuns("5555", DEVICE, 1000));
    now = 1500;
    handle(datagram("stop"));
    handle(datagram("stop"));
    EXPECT_EQ(launches.size(), 4u) << "stops are never suppressed";
    EXPECT_TRUE(startRuns("5555", DEVICE, 2000));
}

struct RepeatCase {
    const char* name;
    LastStart last;
    const char* address;
    const char* port;
    std::uint32_t now;
    bool repeated;
};

class RepeatRule : public testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatRule, Holds)
{
    const RepeatCase& c = GetParam();
    EXPECT_EQ(isRepeatedStart(c.last, c.address, c.port, c.now), c.repeated);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RepeatRule,
    testing::Values(RepeatCase{"SameAtWindow", {"10.0.0.2", "5555", 1000}, "10.0.0.2", "5555", 11000, true},
                    RepeatCase{"SameAfterWindow", {"10.0.0.2", "5555", 1000}, "10.0.0.2", "5555", 11001, false},
                    RepeatCase{"SamePortOnly", {"10.0.0.2", "5555", 1000}, "10.0.0.3", "5555", 1000, true},
                    RepeatCase{"SameAddressOnly", {"10.0.0.2", "5555", 1000}, "10.0.0.2", "5556", 9000, true},
                    RepeatCase{"BothDiffer", {"10.0.0.2", "5555", 1000}, "10.0.0.3", "5556", 1000, false},
                    RepeatCase{"TickWrapsInside", {"10.0.0.2", "5555", 0xFFFFF000u}, "10.0.0.2", "5555", 0x100, true},
                    RepeatCase{"TickWrapsPast", {"10.0.0.2", "5555", 0xFFFFF000u}, "10.0.0.2", "5555", 0x2000, false},
                    RepeatCase{"EmptyRecord", {"", "", 0}, "10.0.0.2", "5555", 5, false}),
    [](const testing::TestParamInfo<RepeatCase>& info) { return info.param.name; });

// The real setting, clock and launch, with the stand-in adb.
class ProcessorWithStandIn : public testing::Test {
protected:
    void SetUp() override
    {
        lastStart = {};
        resetLog();
        forgetAdbSetting();
    }
    void TearDown() override { forgetAdbSetting(); }

    static void expectStartRuns(const std::vector<FakeAdbRun>& runs, const std::string& adb)
    {
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_EQ(runs[0].arguments, (ToolArguments{"devices", "-l"}));
        EXPECT_EQ(runs[1].arguments, (ToolArguments{"connect", "198.18.0.2:5555"}));
        for (const FakeAdbRun& run : runs) {
            EXPECT_EQ(run.executable, adb);
            EXPECT_TRUE(run.done);
        }
    }
};

TEST_F(ProcessorWithStandIn, StoredPathWithSpaces)
{
    const std::string adb = copyFakeAdbInto(testDirectory() + "Android SDK (x86)");
    ASSERT_TRUE(storeAdbPath(adb));
    const std::string record = prepareFakeAdb("stored");

    handleCommand(datagram("start", "5555"));

    expectStartRuns(readFakeAdbRuns(record), adb);
    const Lines log = readLogMessages();
    EXPECT_EQ(log, (Lines{"Received command", "Path to ADB: " + adb,
                          "Received start command with IP 198.18.0.2 and port 5555", "adb devices -l",
                          "successfully", "No device to switch has the address 198.18.0.2",
                          "adb connect 198.18.0.2:5555", "successfully", "Could not connect to 198.18.0.2:5555"}));
}

TEST_F(ProcessorWithStandIn, DefaultPath)
{
    const std::string adb = installFakeAdbAsDefault();
    const std::string record = prepareFakeAdb("default");

    handleCommand(datagram("start", "5555"));

    expectStartRuns(readFakeAdbRuns(record), adb);
    const Lines log = readLogMessages();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1], "Using default ADB path");
}

}  // namespace
