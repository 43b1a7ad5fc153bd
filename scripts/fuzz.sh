#!/usr/bin/env bash
# Builds the settings-file fuzz target with clang (libFuzzer, ASan, UBSan) and
# runs it for the given number of seconds (default 60).
#   scripts/fuzz.sh [seconds]
# Environment: KX_FUZZ_BUILD_DIR (default build/fuzz), KX_FUZZ_JOBS (default 1).
# New inputs are kept in $KX_FUZZ_BUILD_DIR/settings-corpus; a crash is written
# to $KX_FUZZ_BUILD_DIR/crash-* and the script fails.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KX_FUZZ_BUILD_DIR:-$root/build/fuzz}"
jobs="${KX_FUZZ_JOBS:-1}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX_BUILD_FUZZERS=ON -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target settings_fuzz -j2

corpus="$build/settings-corpus"
mkdir -p "$corpus"
parallel=()
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); fi
cd "$build"
exec "$build/fuzz/settings_fuzz" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
  -dict="$root/fuzz/settings.dict" -artifact_prefix="$build/" "${parallel[@]}" \
  "$corpus" "$root/fuzz/corpus/settings"
