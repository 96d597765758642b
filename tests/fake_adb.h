// The per-OS parts of the stand-in adb.
#pragma once

#include <string>

// Starts a copy of this program that holds the standard output it inherits
// for ms milliseconds and then ends, as adb's server keeps the client's
// output; does not wait for it. Returns its process id, or 0.
unsigned long startOutputHolder(const char* self, long ms);

// What this process got from its parent beyond its standard handles and the
// state of its signals, one "name value" line each: "inherited N" for every
// other descriptor or inheritable handle, and on Linux "blocked" and
// "ignored" with the signal masks in hexadecimal.
std::string inheritanceReport();
