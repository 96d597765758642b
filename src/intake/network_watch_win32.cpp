#include "network_watch.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>  // the change notifications, left out of iphlpapi.h here

#include <initializer_list>
#include <optional>

namespace {

// The tray window's message and timer numbers that belong to the watch.
constexpr UINT WM_NETWORK_CHANGED = WM_USER + 3;
constexpr UINT_PTR NETWORK_SETTLED_TIMER = 1;

// How long after an automatic resume its second notice may come.
constexpr std::chrono::seconds SAME_RESUME{30};

HWND watchingWindow = nullptr;
std::optional<NetworkClock::time_point> resumedAt;
HANDLE addressNotification = nullptr;
HANDLE interfaceNotification = nullptr;

// IP Helper calls these on a thread of its own: they only tell the window,
// whose thread owns the listeners, and whether the change is a moment (an
// address added, an interface connected).
void CALLBACK onAddressChange(void* window, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE type)
{
    PostMessageW(static_cast<HWND>(window), WM_NETWORK_CHANGED, type == MibAddInstance, 0);
}

void CALLBACK onInterfaceChange(void* window, MIB_IPINTERFACE_ROW* row, MIB_NOTIFICATION_TYPE type)
{
    PostMessageW(static_cast<HWND>(window), WM_NETWORK_CHANGED, type != MibDeleteInstance && row && row->Connected, 0);
}

// The timer runs only while a burst waits to be followed.
void armSettleTimer()
{
    const int left = msUntilNetworkSettled(NetworkClock::now());
    if (left < 0)
        KillTimer(watchingWindow, NETWORK_SETTLED_TIMER);
    else
        SetTimer(watchingWindow, NETWORK_SETTLED_TIMER, static_cast<UINT>(left), nullptr);
}

}  // namespace

void watchNetwork(void* window)
{
    watchingWindow = static_cast<HWND>(window);
    NotifyUnicastIpAddressChange(AF_INET, onAddressChange, window, FALSE, &addressNotification);
    NotifyIpInterfaceChange(AF_INET, onInterfaceChange, window, FALSE, &interfaceNotification);
}

void stopWatchingNetwork()
{
    for (HANDLE* notification : {&addressNotification, &interfaceNotification}) {
        if (*notification)
            CancelMibChangeNotify2(*notification);
        *notification = nullptr;
    }
}

void networkChanged(bool moment)
{
    noteNetworkChange(NetworkClock::now(), moment);
    armSettleTimer();
}

bool onNetworkMessage(unsigned message, std::uintptr_t wParam)
{
    switch (message) {
    case WM_NETWORK_CHANGED:
        networkChanged(wParam != 0);
        return true;
    case WM_POWERBROADCAST:
        // Back from sleep: the network may be another one now, and the phones
        // connected before have dropped. Windows tells of a resume that the
        // user caused twice, "automatic" first: once is enough.
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            const auto now = NetworkClock::now();
            const bool again = wParam == PBT_APMRESUMESUSPEND && resumedAt && now - *resumedAt < SAME_RESUME;
            if (wParam == PBT_APMRESUMEAUTOMATIC)
                resumedAt = now;
            if (!again)
                networkChanged(true);
        }
        return true;
    case WM_TIMER:
        if (wParam != NETWORK_SETTLED_TIMER)
            return false;
        followNetworkWhenSettled(NetworkClock::now());
        armSettleTimer();
        return true;
    default:
        return false;
    }
}
