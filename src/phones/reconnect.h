// Phones that stay connected. adb keeps a phone on the network only while its
// connection holds: sleep, another Wi-Fi or a new address drop it, although
// the phone still listens. So Velmora remembers the phones it connected
// (remembered_phones.h), keeps that memory in the setting "Phones"
// (settings.h), and at the moments when the network may have dropped them
// (start-up, resume from sleep, a new adapter or address) checks them as one
// command of the command worker: each that adb does not list as ready is
// connected again, and a failed try is repeated RECONNECT_REPEATS after the
// moment. Nothing runs between moments.
#pragma once

#include "command_processor.h"

#include <chrono>

constexpr std::chrono::seconds RECONNECT_REPEATS[] = {std::chrono::seconds(5), std::chrono::seconds(30)};

// Reads the memory from the store; at start-up, before the worker runs.
void loadRememberedPhones();

// A moment: queues a check of the remembered phones. Main thread.
void checkRememberedPhones();

// Keeps the memory in step with a command's verdict: a start that connected
// A:P remembers it in place of anything remembered for A; a stop from A, whatever
// its outcome, forgets A and drops its pending tries. Worker thread.
void rememberFromVerdict(const Verdict& verdict);
