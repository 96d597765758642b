#include "phone_choice.h"

#include <algorithm>

namespace {

// A ready USB phone is the sender's when it told the sender's address, or
// when it is the only one and could not tell its addresses at all: one that
// tells others is not.
bool isSendersUsbPhone(const std::optional<std::vector<std::string>>& told, std::string_view sender,
                       bool onlyReadyUsb)
{
    return told ? std::find(told->begin(), told->end(), sender) != told->end() : onlyReadyUsb;
}

}  // namespace

std::string findNetworkSerial(const std::vector<DeviceEntry>& entries, std::string_view host, std::string_view port)
{
    for (const DeviceEntry& entry : entries) {
        const auto hostPort = splitHostPort(entry.serial);
        if (entry.kind == DeviceKind::Network && entry.state == "device" && hostPort && hostPort->first == host &&
            (port.empty() || hostPort->second == port))
            return entry.serial;
    }
    return "";
}

PhoneChoice choosePhone(const std::vector<DeviceEntry>& entries, const std::string& sender,
                        const std::string& port, const AddressReader& readAddresses)
{
    if (std::string serial = findNetworkSerial(entries, sender, port); !serial.empty())
        return {serial, true, ""};

    std::vector<const DeviceEntry*> usbPhones;
    bool awaitingApproval = false;
    for (const DeviceEntry& entry : entries) {
        if (entry.kind == DeviceKind::Usb && entry.state == "device")
            usbPhones.push_back(&entry);
        awaitingApproval |= entry.kind == DeviceKind::Usb && entry.state == "unauthorized";
    }
    for (const DeviceEntry* phone : usbPhones) {
        const std::optional<std::vector<std::string>> addresses = readAddresses(phone->serial);
        // One phone that cannot tell its addresses is taken to be the sender;
        // one that tells others is not.
        if (isSendersUsbPhone(addresses, sender, usbPhones.size() == 1))
            return {phone->serial, false, ""};
    }

    if (std::string serial = findNetworkSerial(entries, sender); !serial.empty())
        return {serial, false, ""};
    return {"", false,
            awaitingApproval ? "A USB device waits for approval of debugging on the phone"
                             : "No device to switch has the address " + sender};
}

const DeviceEntry* findEntry(const std::vector<DeviceEntry>& entries, std::string_view serial)
{
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const DeviceEntry& entry) { return entry.serial == serial; });
    return found == entries.end() ? nullptr : &*found;
}

bool isThisComputersPhone(const std::vector<DeviceEntry>& entries, std::string_view sender, const ToldAddresses& told,
                          const RememberedPhones& remembered)
{
    const auto isReadyUsb = [](const DeviceEntry& entry) {
        return entry.kind == DeviceKind::Usb && entry.state == "device";
    };
    const bool oneReadyUsb = std::count_if(entries.begin(), entries.end(), isReadyUsb) == 1;
    for (const DeviceEntry& entry : entries) {
        const auto hostPort = splitHostPort(entry.serial);
        if ((entry.kind == DeviceKind::Network && hostPort && hostPort->first == sender) ||
            (entry.kind == DeviceKind::Usb && entry.state == "unauthorized"))
            return true;
    }
    for (const auto& [serial, addresses] : told) {
        if (isSendersUsbPhone(addresses, sender, oneReadyUsb))
            return true;
    }
    return std::any_of(remembered.begin(), remembered.end(),
                       [&](const std::string& phone) { return phoneAddress(phone) == sender; });
}
