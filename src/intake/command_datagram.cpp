#include "command_datagram.h"

#include <algorithm>

std::string_view extractField(std::string_view text, std::size_t offset, std::size_t width)
{
    if (offset >= text.size())
        return {};
    return text.substr(offset, width);
}

std::string_view normalizeField(std::string_view field)
{
    const auto start = field.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return {};
    field.remove_prefix(start);
    return field.substr(0, field.find(' '));
}

CommandDatagram decodeCommandDatagram(const char* bytes, std::size_t count,
                                      std::string_view senderAddress)
{
    // The payload is text: an embedded NUL ends it early.
    std::string_view text(bytes, bytes ? count : 0);
    text = text.substr(0, std::min(text.size(), text.find('\0')));

    CommandDatagram datagram;
    datagram.magic = normalizeField(extractField(text, 0, 3));
    datagram.command = normalizeField(extractField(text, 3, 15));
    datagram.port = normalizeField(extractField(text, 18, 15));
    datagram.senderAddress = senderAddress;
    return datagram;
}

bool isCommand(const CommandDatagram& datagram)
{
    return datagram.magic == COMMAND_MAGIC;
}

std::string encodeCommandDatagram(std::string_view command, std::string_view port)
{
    std::string bytes(COMMAND_MAGIC);
    bytes.append(command);
    bytes.resize(std::max<std::size_t>(bytes.size(), 18), ' ');
    bytes.append(port);
    bytes.resize(std::max<std::size_t>(bytes.size(), 33), ' ');
    return bytes;
}
