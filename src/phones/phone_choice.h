// Which of the devices adb lists is the phone to act on.
#pragma once

#include "adb_answers.h"
#include "remembered_phones.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The serial of the first network entry HOST:PORT in state "device" whose
// host is host and, unless port is empty, whose port is port; "" when none.
std::string findNetworkSerial(const std::vector<DeviceEntry>& entries, std::string_view host,
                              std::string_view port = {});

struct PhoneChoice {
    std::string serial;         // the entry to switch; "" when none
    bool alreadyThere = false;  // sender:port is listed: nothing to switch
    std::string whyNone;        // the log line when no phone was found
};

// The addresses of the USB entry with this serial; nullopt when the phone
// could not run the command that tells them (the run failed or exited
// non-zero).
using AddressReader = std::function<std::optional<std::vector<std::string>>(const std::string& serial)>;

// Which entry is the phone at sender, asking to listen on port: sender:port
// already connected; else the USB entry that lists sender's address (or the
// only USB phone, when it cannot tell its addresses at all); else sender on
// another port. Emulators never. Addresses are read only when needed.
PhoneChoice choosePhone(const std::vector<DeviceEntry>& entries, const std::string& sender,
                        const std::string& port, const AddressReader& readAddresses);

// What the ready USB phones told of their addresses, serial by serial;
// nullopt for one that could not tell.
using ToldAddresses = std::vector<std::pair<std::string, std::optional<std::vector<std::string>>>>;

// Whether the sender is a phone of this computer, whose requests are this
// computer's to carry out: in an office every workstation hears every
// phone. It is when adb lists a USB phone that told the sender's address (or
// the only ready USB phone, and it could not tell), a USB phone waiting for
// approval of debugging (the request may be its own), or a network entry of
// the sender on any port and in any state; or when the sender is
// remembered.
bool isThisComputersPhone(const std::vector<DeviceEntry>& entries, std::string_view sender, const ToldAddresses& told,
                          const RememberedPhones& remembered);

// The entry with this serial, in whatever state; nullptr when adb lists none.
const DeviceEntry* findEntry(const std::vector<DeviceEntry>& entries, std::string_view serial);
