// The phones Velmora connected, remembered so that they can be connected
// again when the network comes back: the rules of that memory, apart from
// where it is kept (reconnect.h) and when it is used.
#pragma once

#include "adb_answers.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t REMEMBERED_PHONES_LIMIT = 16;

// "ADDRESS:PORT" each, the oldest first.
using RememberedPhones = std::vector<std::string>;

// Remembers address:port in place of anything remembered for address; beyond
// the limit the oldest goes.
void rememberPhone(RememberedPhones& phones, const std::string& address, const std::string& port);

// Forgets what is remembered for address; false when nothing was.
bool forgetPhone(RememberedPhones& phones, std::string_view address);

// A stored memory: entries separated by white space, each an IPv4 address in
// dotted-quad form, ":" and a port from 1 to 65535; anything else is passed
// over. Read as if each entry had been remembered in turn.
RememberedPhones parseRememberedPhones(std::string_view stored);

// A remembered phone that adb does not list as ready; `listed` when adb lists
// it in another state (offline, unauthorized...), so that `adb connect`
// would answer "already connected" without connecting.
struct PhoneToReconnect {
    std::string phone;
    bool listed = false;
};
std::vector<PhoneToReconnect> phonesToReconnect(const RememberedPhones& phones,
                                                const std::vector<DeviceEntry>& entries);
