// Starting a thread that nobody joins. The C++ library's std::thread reports
// a thread it cannot start with an exception; Windows' own call, used there,
// keeps the exception machinery out of the program.
#pragma once

#include <functional>

// Starts body on a thread of its own; 0, or the OS's error code when no
// thread could be started.
int startThread(std::function<void()> body);
