#pragma once

// The program: starts up in a fixed order, serves the tray until asked to
// quit, shuts down in a fixed order and returns the exit code, 0.
int appMain(void* instance);
