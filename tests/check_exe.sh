#!/bin/sh
# What Windows sees of velmora.exe: a PE of the build's word size for the GUI
# subsystem that imports only Windows' own DLLs and msvcrt, with the project's
# version in its version resource and a manifest for its processor.
# usage: check_exe.sh VELMORA_EXE OBJDUMP BITS VERSION
set -u
exe=$1
objdump=$2
bits=$3
version=$4
status=0
fail() { echo "FAIL: $*"; status=1; }

case $bits in
32) format=pei-i386 arch=x86 ;;
64) format=pei-x86-64 arch=amd64 ;;
*) echo "usage: check_exe.sh EXE OBJDUMP 32|64 VERSION"; exit 2 ;;
esac

headers=$("$objdump" -p "$exe") || exit 1
echo "$headers" | grep -q "file format $format\$" || fail "not a $bits-bit PE"
echo "$headers" | grep -q 'Subsystem.*(Windows GUI)' || fail "not the GUI subsystem"
for dll in $(echo "$headers" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | comdlg32.dll | advapi32.dll | ws2_32.dll | \
        iphlpapi.dll | msvcrt.dll) echo "imports $dll" ;;
    *) fail "imports $dll" ;;
    esac
done
# The version resource as Windows reads it: the strings, and the version's
# four numbers (the parts not given being 0) as the file's properties show
# them and as the manifest names the program.
resources=$("$(echo "$objdump" | sed 's/objdump$/windres/')" -i "$exe" -O rc) || fail "resources unreadable"
for pair in "CompanyName Corvend" "ProductName Velmora" "FileVersion $version" "ProductVersion $version"; do
    echo "$resources" | grep -q "VALUE \"${pair% *}\", \"${pair#* }\"\$" || fail "no version string $pair"
done
quad=$(echo "$version.0.0.0" | cut -d. -f1-4)
numbers=$(echo "$quad" | sed 's/\./, /g')
for field in FILEVERSION PRODUCTVERSION; do
    echo "$resources" | grep -qx " *$field $numbers" || fail "$field is not $numbers"
done
# The program and Common Controls 6 must name the same processor, or Windows
# refuses the manifest.
manifest=$(strings "$exe")
echo "$manifest" | grep -q 'requestedExecutionLevel level="asInvoker"' || fail "no manifest"
echo "$manifest" | grep -q "name=\"Corvend.Velmora\" version=\"$quad\"" || fail "manifest does not name version $quad"
[ "$(echo "$manifest" | grep -c "processorArchitecture=\"$arch\"")" -eq 2 ] ||
    fail "manifest does not name $arch for the program and Common Controls"
[ $status -eq 0 ] && echo "velmora.exe ($bits-bit, version $version): $(wc -c <"$exe") bytes"
exit $status
