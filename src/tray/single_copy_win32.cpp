#include "single_copy.h"

#include <windows.h>

const int ALREADY_RUNNING_EXIT_CODE = 0;

namespace {

// Set on the main thread as it begins to end, and read there.
bool ending = false;

// Asks the running copy's window to say that it runs; false when no window
// answers (there is none yet, or its copy is ending and no longer serves it).
bool runningCopyAnswered()
{
    const HWND other = FindWindowW(L"WSCLAS", nullptr);
    DWORD_PTR answer = 0;
    return other &&
           SendMessageTimeoutW(other, WM_ALREADY_RUNNING, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 500, &answer) &&
           answer == ALREADY_RUNNING_ANSWER;
}

}  // namespace

bool becomeOnlyCopy()
{
    // Owned by the running copy's main thread until its process has gone:
    // an ending copy keeps it through its last steps.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Corvend.Velmora");
    if (!mutex)
        return true;
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD waited = WaitForSingleObject(mutex, 100);
        if (waited != WAIT_TIMEOUT)
            return true;  // ours, abandoned by a copy that has gone, or no mutex to wait for
        if (runningCopyAnswered() || GetTickCount() - started >= SINGLE_COPY_WAIT_MS)
            return false;
    }
}

void beginEnding()
{
    ending = true;
}

long answerNewCopy()
{
    return ending ? ENDING_ANSWER : ALREADY_RUNNING_ANSWER;
}
