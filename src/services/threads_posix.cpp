#include "threads.h"

#include <system_error>
#include <thread>

int startThread(std::function<void()> body)
{
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    return 0;
}
