#include "command_worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct Worker {
    std::mutex queueLock;
    std::condition_variable queued;
    std::deque<Command> waiting;
    // Held from taking a command until its verdict has been shown; retiring
    // takes it for good.
    std::mutex busy;
    VerdictHandler showVerdict = nullptr;
};

Worker* worker = nullptr;

void carryOutCommands()
{
    for (;;) {
        std::unique_lock<std::mutex> queue(worker->queueLock);
        worker->queued.wait(queue, [] { return !worker->waiting.empty(); });
        const Command command = std::move(worker->waiting.front());
        worker->waiting.pop_front();
        queue.unlock();
        const std::lock_guard<std::mutex> busy(worker->busy);
        if (const std::optional<Verdict> verdict = command(); verdict && worker->showVerdict)
            worker->showVerdict(*verdict);
    }
}

}  // namespace

bool startCommandWorker(VerdictHandler handler)
{
    if (worker)
        return true;
    worker = new Worker;
    worker->showVerdict = handler;
    try {
        std::thread(carryOutCommands).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool queueCommand(Command command)
{
    if (!worker)
        return false;
    {
        const std::lock_guard<std::mutex> queue(worker->queueLock);
        if (worker->waiting.size() >= COMMAND_QUEUE_LIMIT)
            return false;
        worker->waiting.push_back(std::move(command));
    }
    worker->queued.notify_one();
    return true;
}

bool retireCommandWorker()
{
    return worker && worker->busy.try_lock();
}
