#!/bin/sh
# What Windows sees of velmora.exe: a 32-bit PE for the GUI subsystem that
# imports only Windows' own DLLs and msvcrt, with its version resource and
# manifest.
# usage: check_exe.sh VELMORA_EXE OBJDUMP
set -u
exe=$1
objdump=$2
status=0
fail() { echo "FAIL: $*"; status=1; }

headers=$("$objdump" -p "$exe") || exit 1
echo "$headers" | grep -q 'file format pei-i386' || fail "not a 32-bit PE"
echo "$headers" | grep -q 'Subsystem.*(Windows GUI)' || fail "not the GUI subsystem"
for dll in $(echo "$headers" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | comdlg32.dll | advapi32.dll | ws2_32.dll | \
        iphlpapi.dll | msvcrt.dll) echo "imports $dll" ;;
    *) fail "imports $dll" ;;
    esac
done
# Version strings are UTF-16 in the resource; the manifest is plain XML.
for text in CompanyName Corvend ProductName Velmora ProductVersion; do
    strings -e l "$exe" | grep -qx "$text" || fail "no version string $text"
done
strings "$exe" | grep -q 'requestedExecutionLevel level="asInvoker"' || fail "no manifest"
[ $status -eq 0 ] && echo "velmora.exe: $(wc -c <"$exe") bytes"
exit $status
