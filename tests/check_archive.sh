#!/bin/sh
# The release archive as a user unzips it: one folder named after the
# version and the build, holding README.txt, written for the program's user
# and naming no picture or document that the archive lacks, and a
# velmora.exe that passes check_exe.sh.
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
readme="$out/unzipped/$name/README.txt"
head -n 1 "$readme" | grep -q '^Velmora' || { echo "FAIL: no README text"; exit 1; }
named=$(grep -o -E '[A-Za-z0-9_./-]+\.(png|jpe?g|gif|svg|md|html?|pdf)' "$readme" | sort -u)
for file in $named; do
    [ -e "$out/unzipped/$name/$file" ] || { echo "FAIL: README.txt names $file, which the archive lacks"; exit 1; }
done
if grep -n -E 'scripts/|cmake|ctest|\]\(' "$readme"; then
    echo "FAIL: README.txt speaks of building or links elsewhere"
    exit 1
fi
exec sh "$(dirname "$0")/check_exe.sh" "$out/unzipped/$name/velmora.exe" "$@"
