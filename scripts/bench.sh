#!/bin/sh
# Builds the native and both Windows targets and prints the table of
# Velmora's cost: launch latency against a direct launch, datagram to verdict,
# idle CPU, memory, size, start-up time, for each build this machine can run.
# Takes about five minutes (one of them idle on purpose). Needs root for
# network namespaces.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
for preset in linux windows windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done
echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(uname -r)"
exec python3 bench/bench.py --linux-build build/linux --windows-build build/windows \
    --windows-build build/windows-x64 "$@"
