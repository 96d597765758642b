#include "remembered_phones.h"

#include "phone_choice.h"
#include "repeat_rule.h"

#include <algorithm>

void rememberPhone(RememberedPhones& phones, const std::string& address, const std::string& port)
{
    forgetPhone(phones, address);
    phones.push_back(address + ":" + port);
    if (phones.size() > REMEMBERED_PHONES_LIMIT)
        phones.erase(phones.begin());
}

bool forgetPhone(RememberedPhones& phones, std::string_view address)
{
    const auto kept = std::remove_if(phones.begin(), phones.end(),
                                     [&](const std::string& phone) { return phoneAddress(phone) == address; });
    const bool forgotten = kept != phones.end();
    phones.erase(kept, phones.end());
    return forgotten;
}

RememberedPhones parseRememberedPhones(std::string_view stored)
{
    RememberedPhones phones;
    std::size_t start = 0;
    while ((start = stored.find_first_not_of(" \t\r\n", start)) != std::string_view::npos) {
        const std::size_t end = std::min(stored.find_first_of(" \t\r\n", start), stored.size());
        const std::string_view entry = stored.substr(start, end - start);
        const auto hostPort = splitHostPort(entry);
        if (hostPort && parseIpv4(hostPort->first) && isValidPort(hostPort->second))
            rememberPhone(phones, std::string(hostPort->first), std::string(hostPort->second));
        start = end;
    }
    return phones;
}

std::vector<PhoneToReconnect> phonesToReconnect(const RememberedPhones& phones,
                                                const std::vector<DeviceEntry>& entries)
{
    std::vector<PhoneToReconnect> toReconnect;
    for (const std::string& phone : phones) {
        const DeviceEntry* listed = findEntry(entries, phone);
        if (!listed || listed->state != "device")
            toReconnect.push_back({phone, listed != nullptr});
    }
    return toReconnect;
}
