#include "standard_output.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex outputLock;

}  // namespace

void printNow(std::string_view text)
{
    // A windowed program's output goes nowhere unless it was redirected to a
    // file, which never makes it wait.
    const std::lock_guard<std::mutex> hold(outputLock);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
