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

// The C++ library raises its errors (a string past its size, memory run out)
// through these. Velmora catches none of them: each would end the program
// anyway. Ending it here keeps the exception classes, and a second kind of
// string that they bring along, out of the program: some 50 KiB.
namespace std {
void __throw_bad_alloc()
{
    std::abort();
}
void __throw_bad_array_new_length()
{
    std::abort();
}
void __throw_length_error(const char*)
{
    std::abort();
}
void __throw_logic_error(const char*)
{
    std::abort();
}
void __throw_out_of_range(const char*)
{
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...)
{
    std::abort();
}
void __throw_bad_function_call()
{
    std::abort();
}
void __throw_system_error(int)
{
    std::abort();
}
void __throw_invalid_argument(const char*)
{
    std::abort();
}
}  // namespace std

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return appMain(instance);
}
