// One copy of Velmora at a time for a user: two copies would both act on
// every datagram, with opposite outcomes for one request. A copy that is
// still ending (its icon and listeners going away) is waited for, up to
// SINGLE_COPY_WAIT_MS; one that runs is told (Windows: it shows "Velmora is
// already running"), and the new copy ends.
#pragma once

constexpr unsigned SINGLE_COPY_WAIT_MS = 5000;

// True once this copy is the only one; it stays so until the process ends.
// False when another copy runs: the caller ends at once with
// ALREADY_RUNNING_EXIT_CODE (0 on Windows; 1 on Linux, after the line
// "Velmora is already running" on standard error).
bool becomeOnlyCopy();
extern const int ALREADY_RUNNING_EXIT_CODE;

// Called as the copy begins to end, so that a copy started meanwhile waits
// for it instead of taking it for a running one.
void beginEnding();

// Windows: the message by which a new copy asks the running one's window to
// say that it runs, and the window's answer: ALREADY_RUNNING_ANSWER, or,
// once this copy has begun to end, ENDING_ANSWER, and the new copy waits
// for it to go.
constexpr unsigned WM_ALREADY_RUNNING = 0x0400 + 5;  // WM_USER + 5
constexpr long ALREADY_RUNNING_ANSWER = 0x566c6d;
constexpr long ENDING_ANSWER = 0x566c65;
long answerNewCopy();
