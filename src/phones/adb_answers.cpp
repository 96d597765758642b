#include "adb_answers.h"

#include "services/tool_runner.h"

#include <algorithm>
#include <optional>

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string_view trimRight(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

DeviceKind kindOf(std::string_view serial)
{
    if (startsWith(serial, "emulator-"))
        return DeviceKind::Emulator;
    // "HOST:PORT", or a service found over mDNS such as
    // "NAME._adb-tls-connect._tcp", which some adb versions end with a dot.
    if (splitHostPort(serial) || endsWith(serial, "._tcp") || endsWith(serial, "._tcp."))
        return DeviceKind::Network;
    return DeviceKind::Usb;
}

std::optional<DeviceEntry> parseEntry(std::string_view line)
{
    if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return std::nullopt;
    // The optional fields after the state, in the order adb writes them,
    // found by their keys from the right: a value may hold spaces.
    std::string_view model;
    line = trimRight(line);
    for (const std::string_view key : {" transport_id:", " device:", " model:", " product:", " usb:"}) {
        const std::size_t at = line.rfind(key);
        if (at == std::string_view::npos)
            continue;
        if (key == " model:")
            model = line.substr(at + key.size());
        line = trimRight(line.substr(0, at));
    }
    // The one state of several words: "no permissions (REASON); see [URL]".
    std::size_t stateAt = line.find(" no permissions (");
    if (stateAt == std::string_view::npos) {
        stateAt = line.rfind(' ');
        if (stateAt == std::string_view::npos)
            return std::nullopt;
        static const char* const states[] = {"device",   "offline",  "unauthorized", "authorizing", "connecting",
                                             "bootloader", "recovery", "rescue",       "sideload",    "host",
                                             "detached", "unknown"};
        const std::string_view state = line.substr(stateAt + 1);
        if (std::none_of(std::begin(states), std::end(states), [&](const char* s) { return state == s; }))
            return std::nullopt;
    }
    const std::string_view serial = trimRight(line.substr(0, stateAt));
    if (serial.empty())
        return std::nullopt;
    return DeviceEntry{std::string(serial), std::string(line.substr(stateAt + 1)), kindOf(serial), std::string(model)};
}

}  // namespace

std::optional<std::pair<std::string_view, std::string_view>> splitHostPort(std::string_view serial)
{
    const std::size_t colon = serial.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::string_view port = serial.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::make_pair(serial.substr(0, colon), port);
}

std::string_view phoneAddress(std::string_view phone)
{
    return phone.substr(0, phone.rfind(':'));
}

std::optional<std::uint32_t> parseIpv4(std::string_view text)
{
    std::uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.') : text.size();
        const std::string_view number = text.substr(0, end);
        if (end == std::string_view::npos || number.empty() || number.size() > 3 ||
            number.find_first_not_of("0123456789") != std::string_view::npos || (number.size() > 1 && number[0] == '0') ||
            (number.size() == 3 && number > "255"))
            return std::nullopt;
        unsigned byte = 0;
        for (const char digit : number)
            byte = byte * 10 + static_cast<unsigned>(digit - '0');
        value = value << 8 | byte;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return value;
}

std::vector<DeviceEntry> parseDeviceList(std::string_view output)
{
    std::vector<DeviceEntry> entries;
    for (const std::string_view line : outputLines(output)) {
        if (std::optional<DeviceEntry> entry = parseEntry(line))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

std::vector<std::string> parsePhoneAddresses(std::string_view output)
{
    std::vector<std::string> addresses;
    bool afterInet = false;
    std::size_t start = 0;
    while ((start = output.find_first_not_of(" \t\r\n", start)) != std::string_view::npos) {
        const std::size_t end = std::min(output.find_first_of(" \t\r\n", start), output.size());
        const std::string_view word = output.substr(start, end - start);
        if (afterInet)
            addresses.emplace_back(word.substr(0, word.find('/')));
        afterInet = word == "inet";
        start = end;
    }
    return addresses;
}

ConnectResult judgeConnect(std::string_view output)
{
    // adb's server, restarted or started by this very call, speaks first:
    // "adb server version (41) doesn't match this client (39); killing...",
    // "* daemon not running; starting now at tcp:5037", "* daemon started
    // successfully".
    const std::vector<std::string_view> lines = outputLines(output);
    const auto said = std::find_if(lines.begin(), lines.end(), [](std::string_view line) {
        return !line.empty() && !startsWith(line, "* daemon ") && !startsWith(line, "adb server version (");
    });
    const std::string_view first = said == lines.end() ? std::string_view() : *said;
    static const std::pair<const char*, ConnectResult> openings[] = {
        {"connected to ", ConnectResult::Connected},   {"already connected to ", ConnectResult::Connected},
        {"failed to connect", ConnectResult::Refused}, {"cannot connect", ConnectResult::Refused},
        {"unable to connect", ConnectResult::Refused},
    };
    for (const auto& [opening, result] : openings) {
        if (startsWith(first, opening))
            return result;
    }
    return ConnectResult::Failed;
}
