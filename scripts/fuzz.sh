#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# Builds every libFuzzer target with clang and runs each for a bounded time on its seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-fuzz}
seconds=${2:-20}
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DQX_FUZZ=ON -DQX_BENCH=OFF -DQX_WERROR=ON >/dev/null
list="$dir/fuzzers/list.txt"
targets=$(grep -v '^$' "$list" | cut -d'|' -f1 || true)
if [ -z "$targets" ]; then
    echo "no fuzzers"
    exit 0
fi
cmake --build "$dir" -j"$(nproc)" --target $targets
while IFS='|' read -r name seeds; do
    [ -n "$name" ] || continue
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    echo "-- $name (${seconds}s)"
    ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
        "$dir/fuzzers/$name" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 \
        -print_final_stats=0 "$corpus" "$seeds" 2>"$dir/$name.log" ||
        { tail -50 "$dir/$name.log"; echo "fuzzer $name failed"; exit 1; }
done < "$list"
echo "fuzzers passed"
