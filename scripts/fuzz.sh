#!/bin/sh
# Fuzzes command handling for as long as asked (default 600 seconds) and
# prints the executions and the coverage reached.
# usage: scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-600}
scripts/install-deps.sh
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz
corpus=build/linux-fuzz/long-corpus
mkdir -p "$corpus"
output=$(mktemp)
build/linux-fuzz/tests/fuzz/velmora_fuzz -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/linux-fuzz/ "$corpus" tests/fuzz/corpus 2>"$output" || {
    tail -n 40 "$output"
    echo "The fuzzer found a failure; the input is in build/linux-fuzz/."
    exit 1
}
grep -E '^#[0-9]+' "$output" | tail -n 1
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$output"
rm -f "$output"
