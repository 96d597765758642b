#include "command_worker.h"

#include "services/threads.h"
#include "switch_steps.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

struct Later {
    CommandClock::time_point due;
    std::string tag;
    Command command;
};

struct Worker {
    std::mutex queueLock;
    std::condition_variable queued;
    std::deque<Command> waiting;
    std::vector<Later> later;  // in the order they are due
    // Held from taking a command until its verdicts have been shown; retiring
    // takes it for good.
    std::mutex busy;
    VerdictHandler showVerdict = nullptr;
};

Worker* worker = nullptr;

// The next command, once there is one; commands queued for later join the
// others as they fall due.
Command nextCommand()
{
    std::unique_lock<std::mutex> queue(worker->queueLock);
    for (;;) {
        while (!worker->later.empty() && worker->later.front().due <= CommandClock::now()) {
            worker->waiting.push_back(std::move(worker->later.front().command));
            worker->later.erase(worker->later.begin());
        }
        if (!worker->waiting.empty())
            break;
        if (worker->later.empty())
            worker->queued.wait(queue);
        else
            worker->queued.wait_until(queue, worker->later.front().due);
    }
    Command command = std::move(worker->waiting.front());
    worker->waiting.pop_front();
    return command;
}

void carryOutCommands()
{
    for (;;) {
        const Command command = nextCommand();
        const std::lock_guard<std::mutex> busy(worker->busy);
        for (const Verdict& verdict : command()) {
            if (worker->showVerdict)
                worker->showVerdict(verdict);
        }
    }
}

}  // namespace

bool startCommandWorker(VerdictHandler handler)
{
    if (worker)
        return true;
    worker = new Worker;
    worker->showVerdict = handler;
    return startThread(carryOutCommands) == 0;
}

namespace {

// Queues what make() returns, made under the queue's lock.
template <typename Make>
bool queueMade(Make make)
{
    if (!worker)
        return false;
    {
        const std::lock_guard<std::mutex> queue(worker->queueLock);
        if (worker->waiting.size() >= COMMAND_QUEUE_LIMIT)
            return false;
        worker->waiting.push_back(make());
    }
    worker->queued.notify_one();
    return true;
}

}  // namespace

bool queueCommand(Command command)
{
    return queueMade([&] { return std::move(command); });
}

bool queueStampedCommand(StampedCommand command)
{
    return queueMade([&] {
        return [command = std::move(command), stamp = currentTick()] { return command(stamp); };
    });
}

void queueCommandAt(CommandClock::time_point due, std::string tag, Command command)
{
    if (!worker)
        return;
    {
        const std::lock_guard<std::mutex> queue(worker->queueLock);
        const auto later = std::upper_bound(worker->later.begin(), worker->later.end(), due,
                                            [](CommandClock::time_point t, const Later& l) { return t < l.due; });
        worker->later.insert(later, {due, std::move(tag), std::move(command)});
    }
    worker->queued.notify_one();
}

void cancelCommands(const std::string& tag)
{
    if (!worker)
        return;
    {
        const std::lock_guard<std::mutex> queue(worker->queueLock);
        worker->later.erase(std::remove_if(worker->later.begin(), worker->later.end(),
                                           [&](const Later& later) { return later.tag == tag; }),
                            worker->later.end());
    }
    worker->queued.notify_one();  // so that it does not wake for a cancelled one
}

bool retireCommandWorker()
{
    return worker && worker->busy.try_lock();
}
