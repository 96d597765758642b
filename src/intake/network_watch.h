// Watching the network, so that the listeners follow it. The OS tells of
// every change of an adapter or an address (Linux: an rtnetlink socket;
// Windows: IP Helper's notifications and the resume from sleep); once a
// burst of changes has settled, the main thread brings the listeners in line
// with the adapters. A listing of the adapters that fails is tried again
// after the same wait. All of it runs on the main thread; nothing is polled.
#pragma once

#include <chrono>
#include <cstdint>

using NetworkClock = std::chrono::steady_clock;

// How long the network must stay quiet after a change before the listeners
// follow it (an adapter coming up brings a burst of changes), and how long
// after a burst's first change they follow it at the latest, however the
// changes keep coming (virtual switches and VPN clients send a steady drip).
constexpr std::chrono::milliseconds NETWORK_SETTLE{200};
constexpr std::chrono::milliseconds NETWORK_SETTLE_LIMIT{2000};

// When the listeners follow a burst that began at first and whose latest
// change came at last.
NetworkClock::time_point settledAt(NetworkClock::time_point first, NetworkClock::time_point last);

// Adds a change seen at now to the pending burst, or starts one. A moment is
// a change that may bring back phones that the network dropped (a resume, an
// address added, a link up): once the burst has settled the remembered
// phones are checked, even when no listener opened.
void noteNetworkChange(NetworkClock::time_point now, bool moment = false);
// Milliseconds until the pending burst is due, 0 once it is, -1 without one.
int msUntilNetworkSettled(NetworkClock::time_point now);
// Once the pending burst is due, the listeners follow the adapters; when
// those cannot be listed, a new burst starts, so that it is tried again. When
// a listener opened (a new adapter or address) or the burst holds a moment,
// the remembered phones are checked.
void followNetworkWhenSettled(NetworkClock::time_point now);

// Provided by the per-OS part.

// Starts watching; on Windows the tray's window is told of the changes. When
// the OS cannot tell of changes, the listeners stay as they were opened.
void watchNetwork(void* window);
void stopWatchingNetwork();
// A change seen now (or a listing to try again): the listeners follow it
// once it has settled.
void networkChanged(bool moment = false);

// Windows: the tray window hands each message here first; true when it was
// the watch's own (a change, the resume from sleep, the settle timer). A
// resume is a moment: its check waits for the changes it brings to settle,
// so that a resume that also moves an address gives one check.
bool onNetworkMessage(unsigned message, std::uintptr_t wParam);

// Linux: the rtnetlink socket for the main loop to wait on (-1 without one),
// and what the loop calls when it is readable.
int networkWatchDescriptor();
void readNetworkChanges();
