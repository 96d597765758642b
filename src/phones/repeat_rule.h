// Which starts are carried out: a port that can go onto a command line, and
// not a repeat of the last accepted start (a phone that sends its request
// on several adapters, or twice, gets one connection).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr std::uint64_t REPEAT_WINDOW_MS = 10000;

// The last accepted start. A stop empties address and port but keeps the tick.
struct LastStart {
    std::string address;
    std::string port;
    std::uint64_t tick = 0;  // when it was received or chosen, in milliseconds since system start
};

// Process-wide; touched only by the command worker.
extern LastStart lastStart;

// A port that adb can take and that cannot add anything to a command line:
// 1 to 5 ASCII digits with a value from 1 to 65535 (leading zeros allowed).
bool isValidPort(std::string_view port);

// True when a start from address and port, stamped now, repeats the last
// one: from its address or for its port, and stamped at most
// REPEAT_WINDOW_MS after it, or before it.
bool isRepeatedStart(const LastStart& last, std::string_view address, std::string_view port,
                     std::uint64_t now);
