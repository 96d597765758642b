// Reading what adb says: its device list, a phone's own addresses and how a
// connect went.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class DeviceKind { Usb, Emulator, Network };

struct DeviceEntry {
    std::string serial;
    std::string state;  // "device", "offline", "unauthorized", "no permissions (...); see [...]", ...
    DeviceKind kind = DeviceKind::Usb;
    std::string model;  // as the phone reports it, "" when not listed
};

// An IPv4 address in dotted-quad form as the network stack writes it (four
// numbers from 0 to 255, without leading zeros), as a number; nullopt for
// anything else.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

// "HOST:PORT" split in two, the port 1 to 5 digits; nullopt for anything else.
std::optional<std::pair<std::string_view, std::string_view>> splitHostPort(std::string_view serial);

// The ADDRESS of "ADDRESS:PORT".
std::string_view phoneAddress(std::string_view phone);

// The entries of `adb devices -l`. Each line is read from its right end,
// since serials may hold spaces: first the optional fields, found by their
// keys, whose values may hold spaces too, then the state. The header, adb's
// own "* daemon" lines and anything else that is no entry are passed over.
std::vector<DeviceEntry> parseDeviceList(std::string_view output);

// The IPv4 addresses that `adb shell ip -4 -o addr show` lists: the word
// after "inet", up to its "/".
std::vector<std::string> parsePhoneAddresses(std::string_view output);

// How `adb connect` went, by the first line it printed after adb's own lines
// about its server. adb exits 0 either way.
enum class ConnectResult {
    Connected,  // "connected to", "already connected to"
    Refused,    // nothing listens yet: worth another try while the phone restarts
    Failed,     // anything else, such as the phone asking for approval
};
ConnectResult judgeConnect(std::string_view output);
