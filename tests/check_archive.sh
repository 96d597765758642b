#!/bin/sh
# The release archive as a user unzips it: one folder named after the
# version and the build, holding README.txt and a velmora.exe that passes
# check_exe.sh.
# usage: check_archive.sh CPACK CPACK_CONFIG NAME OBJDUMP BITS VERSION
set -u
cpack=$1 config=$2 name=$3
shift 3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$cpack" --config "$config" -B "$out" >/dev/null || exit 1
python3 -m zipfile -e "$out/$name.zip" "$out/unzipped" || exit 1
files=$(cd "$out/unzipped" && find . -type f | sort | tr '\n' ' ')
if [ "$files" != "./$name/README.txt ./$name/velmora.exe " ]; then
    echo "FAIL: $name.zip holds $files"
    exit 1
fi
grep -q '^# Velmora' "$out/unzipped/$name/README.txt" || { echo "FAIL: no README text"; exit 1; }
exec sh "$(dirname "$0")/check_exe.sh" "$out/unzipped/$name/velmora.exe" "$@"
