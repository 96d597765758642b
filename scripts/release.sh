#!/bin/sh
# Builds the Windows programs and makes the release archives,
# build/release/velmora-VERSION-win32.zip (the one users get) and -win64.zip.
# scripts/test.sh is what proves them; this only packs.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
rm -rf build/release
for preset in windows windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target velmora
    cpack --config "build/$preset/CPackConfig.cmake" -B build/release/staging >/dev/null
done
mv build/release/staging/*.zip build/release/
rm -rf build/release/staging
for archive in build/release/*.zip; do
    echo "$archive: $(wc -c <"$archive") bytes"
    python3 -m zipfile -l "$archive"
done
