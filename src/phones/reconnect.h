// Phones that stay connected. adb keeps a phone on the network only while its
// connection holds: sleep, another Wi-Fi or a new address drop it, although
// the phone still listens. So Velmora remembers the phones it connected
// (remembered_phones.h), keeps that memory in the setting "Phones"
// (settings.h), and checks them at the moments when the network may have
// dropped them (start-up, resume from sleep, an adapter, address or link
// that comes). A check is a command of the command worker that asks
// `adb devices -l`, then one command for each phone that adb does not list as
// ready, each queued once the one before it has ended, so that a datagram
// meanwhile waits for one adb run at most. A failed try is repeated
// RECONNECT_REPEATS after the moment, each repeat asking adb afresh. Moments
// that come while a check waits or runs join it. Nothing runs between
// moments.
#pragma once

#include "command_worker.h"
#include "remembered_phones.h"
#include "switch_steps.h"

#include <chrono>
#include <functional>
#include <string>

constexpr std::chrono::seconds RECONNECT_REPEATS[] = {std::chrono::seconds(5), std::chrono::seconds(30)};

// Where a check's commands go, and its clock: the command worker's, or a
// test's.
struct CommandQueue {
    std::function<bool(Command)> queue = queueCommand;
    std::function<void(CommandClock::time_point, std::string, Command)> queueAt = queueCommandAt;
    std::function<void(const std::string&)> cancel = cancelCommands;
    std::function<CommandClock::time_point()> now = CommandClock::now;
};

// Reads the memory from the store; at start-up, before the worker runs.
void loadRememberedPhones();

// The phones remembered now. Worker thread.
const RememberedPhones& rememberedPhones();

// A moment: queues a check of the remembered phones, unless one waits or
// runs. Main thread.
void checkRememberedPhones();
void checkRememberedPhones(const CommandQueue& queue, const CommandEnvironment& environment);

// Keeps the memory in step with a command's verdict: a start that connected
// A:P remembers it in place of anything remembered for A; a stop from A
// forgets A and drops its pending tries, whatever its outcome, unless adb did
// not answer. Worker thread.
void rememberFromVerdict(const Verdict& verdict);
void rememberFromVerdict(const Verdict& verdict, const CommandQueue& queue);
