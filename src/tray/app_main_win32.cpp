#include "app_main.h"

#include <cstdlib>
#include <windows.h>

// The C++ runtime's default terminate handler prints demangled type names,
// which links a demangler of some 46 KiB into a program that has no console
// to print to. This one just ends the program, as the default does after
// printing.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return appMain(instance);
}
