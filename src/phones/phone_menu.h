// The phones of the tray menu: which entries of adb's device list can be
// switched from the workstation and how their lines read, and which of a
// phone's addresses faces the workstation.
#pragma once

#include "adb_answers.h"
#include "intake/adapter.h"

#include <string>
#include <vector>

struct PhoneMenuItem {
    enum class Switch { ToWifi, ToUsb } to = Switch::ToWifi;
    std::string serial;  // the entry: a USB serial, or ADDRESS:PORT
    std::string text;    // "Switch MODEL to Wi-Fi", "Switch MODEL to USB"
};

// In the order adb lists them: each ready USB entry, to Wi-Fi; each ready
// network entry ADDRESS:PORT with an IPv4 address, to USB. MODEL is the
// entry's model with "_" shown as a space, else its serial. Emulators never.
std::vector<PhoneMenuItem> phoneMenuItems(const std::vector<DeviceEntry>& entries);

// The grayed line that stands where no phone can be listed.
constexpr const char* NO_PHONE_LINE = "No phone connected";
constexpr const char* ADB_NOT_STARTED_LINE = "adb could not be started";
constexpr const char* LOOKING_FOR_PHONES_LINE = "Looking for phones\u2026";

// Of a phone's addresses, the one that lies in the subnet of one of the
// workstation's adapters, else the first that is not a loopback address;
// "" when there is none.
std::string chooseFacingAddress(const std::vector<std::string>& phoneAddresses,
                                const std::vector<Adapter>& workstation);
