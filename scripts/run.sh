#!/bin/sh
# Installs what is missing (the compiler, CMake and adb), builds the native
# program and starts it in the foreground; Ctrl+C ends it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
cmake --preset linux >/dev/null
cmake --build --preset linux --target velmora
exec build/linux/src/velmora
