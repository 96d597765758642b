#!/bin/sh
# Installs what is missing, builds the native target (plain, with address and
# undefined-behaviour sanitizers, with the thread sanitizer), the fuzz target
# and the Windows target, and runs every test of each through CTest (the fuzz
# target for a bounded time).
set -u
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh || exit 1
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

failed=""
for preset in linux linux-sanitize linux-tsan linux-fuzz windows; do
    echo "=== $preset"
    { cmake --preset "$preset" && cmake --build --preset "$preset" && ctest --preset "$preset"; } ||
        failed="$failed $preset"
done
if [ -n "$failed" ]; then
    echo "FAILED:$failed"
    exit 1
fi
echo "All presets passed."
