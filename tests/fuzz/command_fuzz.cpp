// Feeds sequences of datagrams, from arbitrary senders at arbitrary clock
// steps, with arbitrary stored adb paths, through decoding and command
// handling, and checks the results against an independent model of the rules:
// adb is launched only for "start" and "stop", only with the arguments
// devices -l, connect, a valid port or ADDRESS:PORT; no log line holds a line
// break; the repeat rule holds; the log trail is the one a user reads. adb
// lists no device, or only the sender on another port, offline: a request
// is then left alone, or a start only connects and a stop finds nothing.
//
// Input: records of
//   1 byte   flags: bit 0 = the launch succeeds, bit 1 = a stored value follows,
//            bit 2 = adb lists the sender on another port, offline
//   [1 byte length m, m bytes]  the stored adb path value, when bit 1 is set
//   4 bytes  sender IPv4 address
//   4 bytes  clock step in milliseconds, little-endian
//   1 byte   payload length n, then n bytes of payload
#include "intake/command_datagram.h"
#include "phones/command_processor.h"
#include "services/adb_location.h"
#include "services/event_log.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Launch {
    std::string program;
    ToolArguments arguments;
};

std::vector<std::string> logLines;
std::vector<Launch> launches;
bool launchesSucceed = true;
std::string listed;  // what every adb run prints
std::uint64_t clock = 0;
std::string storedPath;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// Written apart from the program's own rules on purpose.
bool modelPort(const std::string& port)
{
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(port.c_str(), nullptr, 10);
    return value >= 1 && value <= 65535;
}

struct Model {
    std::string address;
    std::string port;
    std::uint64_t tick = 0;
};

bool isDottedQuad(const std::string& text)
{
    unsigned a, b, c, d;
    char end;
    return std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &end) == 4 && a < 256 && b < 256 &&
           c < 256 && d < 256;
}

bool isAllowedArgument(const std::string& argument)
{
    if (argument == "devices" || argument == "-l" || argument == "connect" || modelPort(argument))
        return true;
    const auto colon = argument.rfind(':');
    return colon != std::string::npos && isDottedQuad(argument.substr(0, colon)) &&
           modelPort(argument.substr(colon + 1));
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    std::uint32_t word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return value;
    }
    std::string bytes(std::size_t count)
    {
        count = std::min(count, size_ - std::min(size_, position_));
        std::string text(reinterpret_cast<const char*>(data_ + position_), count);
        position_ += count;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

void checkDecoded(const CommandDatagram& d)
{
    check(d.magic.size() <= 3 && d.command.size() <= 15 && d.port.size() <= 15, "field widths");
    for (const std::string* field : {&d.magic, &d.command, &d.port})
        check(field->find(' ') == std::string::npos && field->find('\0') == std::string::npos,
              "no space or NUL in a field");
}

void handleOne(Input& input, Model& model)
{
    const std::uint8_t flags = input.byte();
    launchesSucceed = flags & 1;
    if (flags & 2) {
        const std::string value = input.bytes(input.byte());
        storedPath = adbPathFromStoredValue(value.data(), value.size());
    }
    char sender[16];
    const std::uint32_t address = input.word();
    std::snprintf(sender, sizeof sender, "%u.%u.%u.%u", address & 255, (address >> 8) & 255,
                  (address >> 16) & 255, address >> 24);
    clock += input.word();
    // The listener takes at most 45 bytes of a datagram.
    const std::string received = input.bytes(input.byte()).substr(0, 45);

    listed = flags & 4 ? std::string(sender) + ":0 offline\n" : "";  // port 0: never a start's
    CommandDatagram datagram = decodeCommandDatagram(received.data(), received.size(), sender);
    datagram.receivedTick = clock;
    checkDecoded(datagram);
    logLines.clear();
    launches.clear();
    CommandEnvironment environment;
    environment.readTick = [] { return clock; };
    environment.readAdbPath = [] { return storedPath; };
    environment.launchTool = [](const std::string& program, const ToolArguments& arguments) {
        launches.push_back({program, arguments});
        ToolRun run;
        run.started = launchesSucceed;
        run.output = listed;
        return run;
    };
    handleCommand(datagram, environment);

    for (const std::string& line : logLines)
        check(line.find_first_of("\r\n") == std::string::npos, "a log line holds a line break");
    for (const Launch& launch : launches) {
        for (const std::string& argument : launch.arguments)
            check(isAllowedArgument(argument), "a launched argument is not an adb argument");
    }

    // The trail a user reads, rule by rule.
    if (datagram.magic != "VQM") {
        check(logLines.empty() && launches.empty(), "a non-command datagram left a trace");
        return;
    }
    const std::string adb = storedPath.empty() ? std::string(DEFAULT_ADB_PATH) : storedPath;
    std::vector<std::string> expected = {"Received command"};
    if (storedPath.empty())
        expected.push_back("Using default ADB path");
    expected.push_back("Path to ADB: " + adb);
    std::vector<Launch> expectedLaunches;
    const std::string result = launchesSucceed ? "successfully" : "error";
    const std::vector<std::string> said = listed.empty() || !launchesSucceed ? std::vector<std::string>()
                                                         : std::vector<std::string>{"adb: " + listed.substr(0, listed.size() - 1)};
    const bool leftAlone = launchesSucceed && listed.empty();
    const std::string leftAloneLine =
        "No phone of this computer has the address " + datagram.senderAddress + ": request left alone";

    if (datagram.command == "start") {
        const bool repeated = (datagram.senderAddress == model.address || datagram.port == model.port) &&
                              clock - model.tick <= 10000;
        if (!modelPort(datagram.port)) {
            expected.push_back("Ignored start command with invalid port");
        } else if (repeated) {
            expected.push_back("Ignored repeated start from " + datagram.senderAddress + " for port " + datagram.port);
        } else {
            const std::string device = datagram.senderAddress + ":" + datagram.port;
            expected.insert(expected.end(), {"Received start command with IP " + datagram.senderAddress +
                                                 " and port " + datagram.port,
                                             "adb devices -l", result});
            expected.insert(expected.end(), said.begin(), said.end());
            expectedLaunches = {{adb, {"devices", "-l"}}};
            if (leftAlone) {
                expected.push_back(leftAloneLine);
            } else {
                if (launchesSucceed) {
                    expected.insert(expected.end(), {"No device to switch has the address " + datagram.senderAddress,
                                                     "adb connect " + device, result});
                    expected.insert(expected.end(), said.begin(), said.end());
                    expectedLaunches.push_back({adb, {"connect", device}});
                }
                expected.push_back("Could not connect to " + device);
                model = {datagram.senderAddress, datagram.port, clock};
            }
        }
    } else if (datagram.command == "stop") {
        expected.insert(expected.end(), {"Received stop command", "adb devices -l", result});
        expected.insert(expected.end(), said.begin(), said.end());
        expected.push_back(leftAlone ? leftAloneLine
                                     : "Could not switch " + datagram.senderAddress + " to USB" +
                                           (launchesSucceed ? ": not connected over the network" : ""));
        expectedLaunches = {{adb, {"devices", "-l"}}};
        if (!leftAlone) {
            model.address.clear();
            model.port.clear();
        }
    }
    check(logLines == expected, "the log trail differs from the rules");
    check(launches.size() == expectedLaunches.size(), "launch count differs from the rules");
    for (std::size_t i = 0; i < launches.size(); ++i) {
        check(launches[i].program == expectedLaunches[i].program, "launched program differs");
        check(launches[i].arguments == expectedLaunches[i].arguments, "launch arguments differ");
    }
    check(lastStart.address == model.address && lastStart.port == model.port && lastStart.tick == model.tick,
          "the repeat record differs from the rules");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    setLogSink([](const std::string& message) { logLines.push_back(message); });
    lastStart = {};
    clock = 0;
    storedPath.clear();
    Model model;
    Input input(data, size);
    while (!input.empty())
        handleOne(input, model);
    return 0;
}
