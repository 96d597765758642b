// Commands are carried out one at a time, in the order they came, by one
// worker thread. The listeners only hand datagrams over, so they go on
// reading (and stamping the time of) datagrams while a command runs. A
// command may also be queued for later: it then joins the others once due.
#pragma once

#include "verdict.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Commands waiting beyond this many are dropped, as a full socket buffer
// would drop their datagrams.
constexpr std::size_t COMMAND_QUEUE_LIMIT = 64;

// A command ends with the verdicts of what reached adb, if anything did.
using Command = std::function<std::vector<Verdict>()>;
using CommandClock = std::chrono::steady_clock;

// Shows a verdict; called on the worker thread once its command has ended.
using VerdictHandler = void (*)(const Verdict& verdict);

// Starts the worker, once; false when its thread cannot be started.
bool startCommandWorker(VerdictHandler handler);

// Queues the command behind those waiting; false when COMMAND_QUEUE_LIMIT
// wait already and it was dropped.
bool queueCommand(Command command);

// The same for a command that is told when it was queued (currentTick(),
// switch_steps.h): a datagram received, a menu line chosen. The stamps rise
// in the order the commands are queued.
using StampedCommand = std::function<std::vector<Verdict>(std::uint64_t queued)>;
bool queueStampedCommand(StampedCommand command);

// Queues the command to join the others once `due` has come; the worker
// waits for nothing else meanwhile. `tag` names it for cancelCommands.
void queueCommandAt(CommandClock::time_point due, std::string tag, Command command);
// Drops the commands queued for later with this tag.
void cancelCommands(const std::string& tag);

// Stops the worker from taking another command. True when none was running;
// false when one still runs (an adb being waited for): the caller then ends
// the process without waiting for it. The worker's state is never freed, as
// its thread may still use it while the process ends.
bool retireCommandWorker();
