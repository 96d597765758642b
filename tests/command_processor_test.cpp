#include "phones/command_processor.h"
#include "phones/reconnect.h"
#include "phones/phone_menu.h"
#include "services/event_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
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
        // adb knows both senders of these tests: their requests are this computer's.
        said["devices -l"] = "List of devices attached\n198.18.0.2:4444        offline\n"
                             "198.18.0.3:4444        offline\n\n";
    }

    std::optional<Verdict> handle(CommandDatagram d)
    {
        d.receivedTick = now;
        return handleCommand(d, environment);
    }

    // Handles a start and tells whether it ran adb.
    bool startRuns(const std::string& port, const std::string& sender, std::uint64_t at)
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

    std::uint64_t now = 50000;
    std::uint64_t listensAt = 0;
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

// Both doors run the same steps: a start from 198.18.0.2 finds the USB phone
// by its address, and the menu names it by its serial and asks it.
TEST_F(Processor, BothDoorsSwitchThePhoneAlikeAndTryToConnectWhileItRestarts)
{
    struct Case {
        const char* name;
        std::string devices;                      // beyond the phone beside the emulator
        std::map<std::string, std::string> said;  // beyond the device list and the phone's address
        std::uint64_t restartMs;                  // from the end of the third run
        std::vector<ToolArguments> beforeConnects;
        std::size_t connects;
        const char* logged;  // the verdict, or another line of the log
        bool menuToo;        // the menu's line gives the same runs and verdict
    };
    const auto waitsForApproval = "A device waits for approval of debugging on the phone";
    const ToolArguments fromOtherPort = {"-s", "198.18.0.2:4444", "tcpip", "5555"};
    const ToolArguments oldPort = {"disconnect", "198.18.0.2:6666"};
    // Each run takes 20 ms: a try starts every 270 ms until 10 s after the switch.
    const Case cases[] = {
        {"listens after 600 ms", "", {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 600,
         {SHELL_IP, TCPIP}, 4, "Connected to 198.18.0.2:5555", true},
        {"never listens", "", {}, 100000, {SHELL_IP, TCPIP}, 38, "Could not connect to 198.18.0.2:5555", true},
        {"switch refused", "", {{"-s R58M12ABCDE tcpip 5555", "error: device offline"}}, 100000, {SHELL_IP, TCPIP},
         1, "Could not connect to 198.18.0.2:5555", true},
        {"approval asked", "", {{"connect 198.18.0.2:5555", "failed to authenticate to 198.18.0.2:5555"}}, 0,
         {SHELL_IP, TCPIP}, 1, "Could not connect to 198.18.0.2:5555", true},
        {"connect ended at its time limit", "", {{"connect 198.18.0.2:5555", "(hangs)"}}, 0, {SHELL_IP, TCPIP}, 1,
         "Could not connect to 198.18.0.2:5555", true},
        {"listed offline", "198.18.0.2:5555        offline transport_id:3\n",
         {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 0, {SHELL_IP, DISCONNECT, TCPIP}, 1,
         "Connected to 198.18.0.2:5555", true},
        {"listed, unapproved", "198.18.0.2:5555        unauthorized transport_id:3\n",
         {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 0, {SHELL_IP, DISCONNECT, TCPIP}, 1,
         waitsForApproval, true},
        {"old port, switched over USB", "198.18.0.2:6666        offline\n",
         {{"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}}, 0, {SHELL_IP, TCPIP, oldPort}, 1,
         "Connected to 198.18.0.2:5555", true},
        {"old port, switched over the network", "198.18.0.2:4444        device\n198.18.0.2:5555        offline\n",
         {{"-s R58M12ABCDE shell ip -4 -o addr show", "30: wlan0    inet 198.18.0.9/24"},
          {"connect 198.18.0.2:5555", "connected to 198.18.0.2:5555"}},
         0, {SHELL_IP, DISCONNECT, fromOtherPort, {"disconnect", "198.18.0.2:4444"}}, 1,
         "Connected to 198.18.0.2:5555", false},
    };
    const AddressChooser first = [](const std::vector<std::string>& addresses) {
        return chooseFacingAddress(addresses, {});
    };
    for (const Case& c : cases) {
        for (const bool byMenu : {false, true}) {
            if (byMenu && !c.menuToo)
                continue;
            const std::string name = c.name + std::string(byMenu ? " (menu)" : "");
            resetLog();
            launches.clear();
            lastStart = {};
            said = c.said;
            said["devices -l"] = PHONE_BESIDE_EMULATOR + c.devices;
            said.emplace("-s R58M12ABCDE shell ip -4 -o addr show", "30: wlan0    inet 198.18.0.2/24 brd 198.18.0.255");
            listensAt = now + 3 * 20 + c.restartMs;
            const Verdict verdict = byMenu ? menuSwitchToWifi("R58M12ABCDE", now, first, environment)
                                           : handle(datagram("start", "5555")).value();

            const Lines log = readLogMessages();
            EXPECT_NE(std::find(log.begin(), log.end(), c.logged), log.end()) << name;
            EXPECT_EQ(log.back(), verdictText(verdict)) << name;
            std::vector<ToolArguments> launched = {{"devices", "-l"}};
            launched.insert(launched.end(), c.beforeConnects.begin(), c.beforeConnects.end());
            launched.insert(launched.end(), c.connects, CONNECT);
            EXPECT_EQ(launchedArguments(), launched) << name;
            EXPECT_EQ(lastStart.address + ":" + lastStart.port, "198.18.0.2:5555") << name;
        }
    }
}

TEST_F(Processor, MenuLinesActOnTheirOwnPhoneAndEntry)
{
    const AddressChooser facing = [](const std::vector<std::string>& addresses) {
        return chooseFacingAddress(addresses, {});
    };
    said["-s R58M12ABCDE shell ip -4 -o addr show"] = "1: lo    inet 127.0.0.1/8\n30: wlan0    inet 198.18.0.2/24";
    said["connect 198.18.0.2:5555"] = "connected to 198.18.0.2:5555";
    EXPECT_EQ(verdictText(menuSwitchToWifi("R58M12ABCDE", 1234, facing, environment)), "Connected to 198.18.0.2:5555");
    EXPECT_EQ(readLogMessages().front(), "Menu: switch R58M12ABCDE to Wi-Fi");
    EXPECT_EQ(lastStart.tick, 1234u) << "stamped when chosen";

    const struct {
        const char* shell;
        const char* verdict;
    } unswitchable[] = {
        {"1: lo    inet 127.0.0.1/8", "Could not connect to R58M12ABCDE: the phone has no network address"},
        {"error: device 'R58M12ABCDE' not found", "Could not connect to R58M12ABCDE: the phone did not answer"},
        {"(hangs)", "Could not connect to R58M12ABCDE: the phone did not answer"},
    };
    for (const auto& c : unswitchable) {
        launches.clear();
        said["-s R58M12ABCDE shell ip -4 -o addr show"] = c.shell;
        EXPECT_EQ(verdictText(menuSwitchToWifi("R58M12ABCDE", 1234, facing, environment)), c.verdict);
        EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{{"devices", "-l"}, SHELL_IP})) << c.shell;
    }

    resetLog();
    launches.clear();
    said["devices -l"] = "198.18.0.2:5555        device\n198.18.0.2:6666        device\n";
    EXPECT_EQ(verdictText(menuSwitchToUsb("198.18.0.2:6666", environment)), "Switched 198.18.0.2 to USB");
    EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{{"devices", "-l"}, {"-s", "198.18.0.2:6666", "usb"},
                                                               {"disconnect", "198.18.0.2:6666"}}));
    EXPECT_EQ(readLogMessages().front(), "Menu: switch 198.18.0.2:6666 to USB");
}

// A listing that failed or was ended is no empty list: nothing is chosen
// from it and nothing more runs, whichever door asked.
TEST_F(Processor, NoAnswerFromAdbEndsEveryDoor)
{
    const std::function<Verdict()> doors[] = {
        [&] { return handle(datagram("start", "5555")).value(); },
        [&] { return handle(datagram("stop")).value(); },
        [&] { return menuSwitchToWifi("R58M12ABCDE", now, {}, environment); },
        [&] { return menuSwitchToUsb("198.18.0.2:5555", environment); },
    };
    const char* const verdicts[] = {"Could not connect to 198.18.0.2:5555: adb did not answer",
                                    "Could not switch 198.18.0.2 to USB: adb did not answer",
                                    "Could not connect to R58M12ABCDE: adb did not answer",
                                    "Could not switch 198.18.0.2 to USB: adb did not answer"};
    for (const char* listing : {"error: protocol fault (couldn't read status): Success", "(hangs)"}) {
        for (std::size_t door = 0; door < std::size(doors); ++door) {
            resetLog();
            launches.clear();
            lastStart = {};
            said["devices -l"] = listing;
            EXPECT_EQ(verdictText(doors[door]()), verdicts[door]) << door;
            EXPECT_EQ(launchedArguments(), (std::vector<ToolArguments>{{"devices", "-l"}})) << door;
            EXPECT_EQ(readLogMessages().end()[-2], listing == std::string("(hangs)")
                                                       ? "adb did not finish within 20 s and was ended"
                                                       : "adb exit code: 1")
                << door;
        }
    }
}

TEST_F(Processor, StartIsRecordedEvenWhenAdbCannotBeStarted)
{
    toolsStart = false;
    const std::optional<Verdict> verdict = handle(datagram("start", "5555"));

    ASSERT_TRUE(verdict && verdict->reason == Verdict::Reason::AdbNotStarted);
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
        // A colleague's phone: only the USB phone here is asked, and the record stays.
        {{{"devices -l", "198.18.0.3:5555        device\nR58        device\n"},
          {"-s R58 shell ip -4 -o addr show", "30: wlan0    inet 198.18.0.9/24"}},
         {{"devices", "-l"}, {"-s", "R58", "shell", "ip", "-4", "-o", "addr", "show"}},
         "No phone of this computer has the address 198.18.0.2: request left alone"},
    };
    for (const auto& c : cases) {
        launches.clear();
        lastStart = {DEVICE, "5555", 1};
        said = c.said;
        EXPECT_EQ(verdictText(*handle(datagram("stop"))), c.verdict);
        EXPECT_EQ(launchedArguments(), c.launched) << c.verdict;
        const bool leftAlone = std::string(c.verdict).find("left alone") != std::string::npos;
        EXPECT_TRUE(lastStart.address.empty() == !leftAlone && lastStart.port.empty() == !leftAlone &&
                    lastStart.tick == 1)
            << c.verdict;
    }
}

TEST_F(Processor, NoStoredPathUsesTheDefaultEveryTime)
{
    storedPath = "";
    handle(datagram("stop"));
    handle(datagram("stop"));

    const std::string pathLine = "Path to ADB: " + std::string(DEFAULT_ADB_PATH);
    const Lines log = readLogMessages();
    ASSERT_EQ(log.size(), 20u);  // each stop's 10 lines, adb's own 3 among them
    for (std::size_t stop : {0, 10})
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
    EXPECT_EQ(readLogMessages(), (Lines{"Received command", "Path to ADB: /opt/android sdk/adb",
                                        "Ignored repeated start from 198.18.0.2 for port 5555"}));
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
    std::uint64_t now;
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
                    RepeatCase{"StampedBefore", {"10.0.0.2", "5555", 0xFFFFF000u}, "10.0.0.2", "5555", 0x100, true},
                    RepeatCase{"FiftyDaysLater", {"10.0.0.2", "5555", 1000}, "10.0.0.2", "5555", 1000 + (1ull << 32), false},
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

    // The stand-in lists no device: the start is another computer's.
    static void expectStartRuns(const std::vector<FakeAdbRun>& runs, const std::string& adb)
    {
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].arguments, (ToolArguments{"devices", "-l"}));
        EXPECT_EQ(runs[0].executable, adb);
        EXPECT_TRUE(runs[0].done);
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
                          "successfully", "No phone of this computer has the address 198.18.0.2: request left alone"}));
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

// The remembered phones' check, its commands run by hand from a stand-in
// queue whose clock the test sets.
class RememberedCheck : public Processor {
protected:
    void SetUp() override
    {
        Processor::SetUp();
        isolateAdbSetting();
        queue.queue = [this](Command command) {
            waiting.push_back(std::move(command));
            return true;
        };
        queue.queueAt = [this](CommandClock::time_point due, std::string tag, Command command) {
            later.push_back({due, std::move(tag), std::move(command)});
        };
        queue.cancel = [this](const std::string& tag) {
            later.erase(std::remove_if(later.begin(), later.end(), [&](const Later& l) { return l.tag == tag; }),
                        later.end());
        };
        queue.now = [this] { return clock; };
        listensAt = ~0ull;  // every connect is refused
        said["devices -l"] = "List of devices attached\n198.18.0.3:5555        offline\n"
                             "198.18.0.4:5555        device\n\n";
        for (const char* phone : {"198.18.0.2:5555", "198.18.0.3:5555", "198.18.0.4:5555"})
            rememberFromVerdict({Verdict::Request::Start, true, phone}, queue);
    }
    void TearDown() override
    {
        for (const char* address : {"198.18.0.2", "198.18.0.3", "198.18.0.4"})
            rememberFromVerdict({Verdict::Request::Stop, true, address}, queue);
    }

    // Runs the next waiting command: its runs, and the verdicts it showed.
    std::pair<std::vector<ToolArguments>, Lines> runNext()
    {
        launches.clear();
        Command command = std::move(waiting.front());
        waiting.pop_front();
        Lines shown;
        for (const Verdict& verdict : command())
            shown.push_back(verdictText(verdict));
        return {launchedArguments(), shown};
    }

    // The commands due next join the waiting ones, the clock set to their time.
    void advance()
    {
        ASSERT_FALSE(later.empty());
        clock = std::min_element(later.begin(), later.end(), [](auto& a, auto& b) { return a.due < b.due; })->due;
        const auto due = std::stable_partition(later.begin(), later.end(), [&](auto& l) { return l.due != clock; });
        std::for_each(due, later.end(), [&](Later& l) { waiting.push_back(std::move(l.command)); });
        later.erase(due, later.end());
    }

    struct Later {
        CommandClock::time_point due;
        std::string tag;
        Command command;
    };
    CommandQueue queue;
    CommandClock::time_point clock{};
    std::deque<Command> waiting;
    std::vector<Later> later;
};

TEST_F(RememberedCheck, OnePhoneACommandEachQueuedOnceTheOneBeforeHasEnded)
{
    checkRememberedPhones(queue, environment);
    checkRememberedPhones(queue, environment);  // a moment meanwhile joins it
    ASSERT_EQ(waiting.size(), 1u);
    const ToolArguments connect2 = {"connect", "198.18.0.2:5555"}, connect3 = {"connect", "198.18.0.3:5555"};
    const std::vector<std::vector<ToolArguments>> commands = {
        {{"devices", "-l"}}, {connect2}, {{"disconnect", "198.18.0.3:5555"}, connect3}};
    for (const auto& runs : commands) {
        ASSERT_EQ(waiting.size(), 1u);
        EXPECT_EQ(runNext().first, runs);
    }
    EXPECT_TRUE(waiting.empty());
    checkRememberedPhones(queue, environment);  // the check has ended: a new moment starts one
    EXPECT_EQ(waiting.size(), 1u);
    while (!waiting.empty())
        runNext();
}

TEST_F(RememberedCheck, FailedTriesAreRepeatedAt5And30SecondsAndAStopEndsThem)
{
    said["devices -l"] = "error: protocol fault";
    const CommandClock::time_point moment = clock;
    checkRememberedPhones(queue, environment);
    EXPECT_EQ(runNext(), std::make_pair(std::vector<ToolArguments>{{"devices", "-l"}}, Lines{}))
        << "no connect on a listing that did not work";
    ASSERT_EQ(later.size(), 3u);
    rememberFromVerdict({Verdict::Request::Stop, true, "198.18.0.2"}, queue);
    rememberFromVerdict({Verdict::Request::Stop, false, "198.18.0.3", "", Verdict::Reason::AdbNoAnswer}, queue);
    EXPECT_EQ(later.size(), 2u) << "a stop that reached adb cancels the phone's repeats, one that did not keeps them";

    said["devices -l"] = "List of devices attached\n198.18.0.4:5555        device\n\n";
    advance();
    EXPECT_EQ(clock - moment, RECONNECT_REPEATS[0]);
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(runNext(), std::make_pair(std::vector<ToolArguments>{{"devices", "-l"}, {"connect", "198.18.0.3:5555"}},
                                        Lines{}));
    EXPECT_EQ(runNext().first, (std::vector<ToolArguments>{{"devices", "-l"}})) << "listed ready: nothing to try";
    advance();
    EXPECT_EQ(clock - moment, RECONNECT_REPEATS[1]);
    EXPECT_EQ(runNext().second, Lines{"Could not reconnect to 198.18.0.3:5555"});
    EXPECT_TRUE(later.empty() && waiting.empty());
}

}  // namespace
