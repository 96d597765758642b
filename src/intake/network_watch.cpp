#include "network_watch.h"

#include "listener_sockets.h"
#include "phones/reconnect.h"

#include <algorithm>
#include <utility>

namespace {

// The burst of changes waiting to be followed.
bool pending = false;
bool momentPending = false;
NetworkClock::time_point firstChange, lastChange;

}  // namespace

NetworkClock::time_point settledAt(NetworkClock::time_point first, NetworkClock::time_point last)
{
    return std::min(last + NETWORK_SETTLE, first + NETWORK_SETTLE_LIMIT);
}

void noteNetworkChange(NetworkClock::time_point now, bool moment)
{
    if (!pending)
        firstChange = now;
    pending = true;
    momentPending |= moment;
    lastChange = now;
}

int msUntilNetworkSettled(NetworkClock::time_point now)
{
    if (!pending)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(settledAt(firstChange, lastChange) - now);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void followNetworkWhenSettled(NetworkClock::time_point now)
{
    if (msUntilNetworkSettled(now) != 0)
        return;
    pending = false;
    const bool moment = std::exchange(momentPending, false);
    const std::optional<std::size_t> opened = followAdapters(listAdapters());
    if (!opened)
        noteNetworkChange(now, moment);
    else if (*opened > 0 || moment)
        checkRememberedPhones();  // phones dropped with the old network may be back
}
