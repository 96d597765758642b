// Turns a decoded command datagram into adb runs, writing every step to the
// event log. "start" runs `adb tcpip PORT` and `adb connect ADDRESS:PORT`;
// "stop" runs `adb usb`. A start that repeats the last accepted start's
// address or port within REPEAT_WINDOW_MS is ignored.
//
// Callers hold the command lock: commands are handled one at a time, each to
// its end, tool runs included.
#pragma once

#include "command_datagram.h"
#include "services/adb_location.h"
#include "services/tool_runner.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

constexpr std::uint32_t REPEAT_WINDOW_MS = 10000;

// The last accepted start. A stop empties address and port but keeps the tick.
struct LastStart {
    std::string address;
    std::string port;
    std::uint32_t tick = 0;  // milliseconds since system start, wrapping
};

// Process-wide; touched only under the command lock.
extern LastStart lastStart;

// The platform's millisecond tick count since system start, wrapping at 2^32.
std::uint32_t currentTick();

// What the processor asks of the world; tests replace any of it.
struct CommandEnvironment {
    std::function<std::uint32_t()> readTick = currentTick;
    std::function<std::string()> readAdbPath = loadAdbPath;
    ToolLauncher launchTool = launchAndWait;
};

// A port that adb can take and that cannot add anything to a command line:
// 1 to 5 ASCII digits with a value from 1 to 65535 (leading zeros allowed).
bool isValidPort(std::string_view port);

// True when a start from address and port at tick now repeats the last one.
bool isRepeatedStart(const LastStart& last, std::string_view address, std::string_view port,
                     std::uint32_t now);

void handleCommand(const CommandDatagram& datagram, const CommandEnvironment& environment = {});
