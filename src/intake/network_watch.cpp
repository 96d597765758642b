#include "network_watch.h"

#include "listener_sockets.h"
#include "phones/reconnect.h"

#include <algorithm>

namespace {

// The burst of changes waiting to be followed.
bool pending = false;
NetworkClock::time_point firstChange, lastChange;

}  // namespace

NetworkClock::time_point settledAt(NetworkClock::time_point first, NetworkClock::time_point last)
{
    return std::min(last + NETWORK_SETTLE, first + NETWORK_SETTLE_LIMIT);
}

void noteNetworkChange(NetworkClock::time_point now)
{
    if (!pending)
        firstChange = now;
    pending = true;
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
    const std::optional<std::size_t> opened = followAdapters(listAdapters());
    if (!opened)
        noteNetworkChange(now);
    else if (*opened > 0)
        checkRememberedPhones();  // a new adapter or address: phones dropped with the old one may be back
}
