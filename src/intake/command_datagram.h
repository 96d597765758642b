// The command datagram: fixed-position ASCII text sent by a device.
//
//   offset  0, 3 bytes: magic "VQM"
//   offset  3, 15 bytes: command, "start" or "stop", padded with spaces
//   offset 18, 15 bytes: port in decimal, padded with spaces
//
// Bytes from offset 33 on are ignored. The text ends at the first NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::string_view COMMAND_MAGIC = "VQM";

struct CommandDatagram {
    std::string magic;          // at most 3 characters
    std::string command;        // at most 15 characters
    std::string port;           // at most 15 characters, passed on as text
    std::string senderAddress;  // dotted quad from the socket layer
    std::uint64_t receivedTick = 0;  // when the listener read it, in milliseconds since system start
};

// Characters offset .. offset+width-1 of text, fewer where the text ends.
std::string_view extractField(std::string_view text, std::size_t offset, std::size_t width);

// Skips leading spaces (0x20 only) and keeps what follows up to the next space.
std::string_view normalizeField(std::string_view field);

CommandDatagram decodeCommandDatagram(const char* bytes, std::size_t count,
                                      std::string_view senderAddress);

bool isCommand(const CommandDatagram& datagram);

// The 33 bytes a sender puts on the wire: the magic, then the command and the
// port each padded with spaces to 15 bytes. Longer texts are not cut here;
// callers pass at most 15 characters.
std::string encodeCommandDatagram(std::string_view command, std::string_view port);
