#include "repeat_rule.h"

LastStart lastStart;

bool isValidPort(std::string_view port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool isRepeatedStart(const LastStart& last, std::string_view address, std::string_view port,
                     std::uint64_t now)
{
    const bool sameDeviceOrPort = address == last.address || port == last.port;
    // A command stamped before the last start reached the worker after it.
    return sameDeviceOrPort && (now < last.tick || now - last.tick <= REPEAT_WINDOW_MS);
}
