#include "threads.h"

#include <windows.h>

namespace {

DWORD WINAPI runBody(void* parameter)
{
    const auto* body = static_cast<std::function<void()>*>(parameter);
    (*body)();
    delete body;
    return 0;
}

}  // namespace

int startThread(std::function<void()> body)
{
    auto* started = new std::function<void()>(std::move(body));
    const HANDLE thread = CreateThread(nullptr, 0, runBody, started, 0, nullptr);
    if (!thread) {
        delete started;
        return static_cast<int>(GetLastError());
    }
    CloseHandle(thread);
    return 0;
}
