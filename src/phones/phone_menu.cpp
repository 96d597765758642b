#include "phone_menu.h"

#include <algorithm>

std::vector<PhoneMenuItem> phoneMenuItems(const std::vector<DeviceEntry>& entries)
{
    std::vector<PhoneMenuItem> items;
    for (const DeviceEntry& entry : entries) {
        const auto hostPort = splitHostPort(entry.serial);
        const bool ipv4Entry = entry.kind == DeviceKind::Network && hostPort && parseIpv4(hostPort->first);
        if (entry.state != "device" || (entry.kind != DeviceKind::Usb && !ipv4Entry))
            continue;
        std::string model = entry.model.empty() ? entry.serial : entry.model;
        std::replace(model.begin(), model.end(), '_', ' ');
        const bool toWifi = entry.kind == DeviceKind::Usb;
        items.push_back({toWifi ? PhoneMenuItem::Switch::ToWifi : PhoneMenuItem::Switch::ToUsb, entry.serial,
                         "Switch " + model + (toWifi ? " to Wi-Fi" : " to USB")});
    }
    return items;
}

std::string chooseFacingAddress(const std::vector<std::string>& phoneAddresses, const std::vector<Adapter>& workstation)
{
    for (const std::string& address : phoneAddresses) {
        const std::optional<std::uint32_t> phone = parseIpv4(address);
        for (const Adapter& adapter : workstation) {
            const std::optional<std::uint32_t> own = parseIpv4(adapter.address), mask = parseIpv4(adapter.mask);
            if (phone && own && mask && *mask != 0 && (*phone & *mask) == (*own & *mask))
                return address;
        }
    }
    for (const std::string& address : phoneAddresses) {
        const std::optional<std::uint32_t> phone = parseIpv4(address);
        if (phone && *phone >> 24 != 127)
            return address;
    }
    return "";
}
