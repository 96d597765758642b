#!/bin/sh
# Installs on Debian 12 what Velmora needs and is not there yet; a quick
# no-op when everything is installed.
#   install-deps.sh          everything the builds and tests need
#   install-deps.sh native   what the native program needs to build and to do
#                            its job: the compiler, CMake and adb
set -eu

native="cmake make g++ adb"
tests="cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
       xvfb xdotool x11-utils imagemagick iproute2 python3 clang libclang-rt-14-dev"
case "${1:-}" in
native) packages=$native ;;
"") packages=$tests ;;
*) echo "usage: $0 [native]" >&2; exit 2 ;;
esac

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing:$missing"
# wine32 is an i386 package.
case "$missing" in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
# An index that fails to download (a mirror in the middle of a sync) leaves
# the older one in use, which serves as well.
$sudo apt-get update -qq || echo "Some package lists could not be updated; using the older ones."
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
