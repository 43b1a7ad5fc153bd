#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (libFuzzer, ASan, UBSan) and runs
# each for the given number of seconds (default 60):
#   settings_fuzz         the settings file's readers and writer
#   decode_fuzz           the three clipboard decoders, single- and double-byte lead tables
#   append_log_fuzz       AppendLog and AppendLineToView against a model view
#   agth_rules_fuzz       the AGTH command-line builders and the option history
#   value_encodings_fuzz  ColorText, FontText, DecodeHexText and the integer rules
#   chat_answer_fuzz      a translation server's answer, and the request built from any text
#   chat_stream_fuzz      a streamed answer read in one piece and cut anywhere
#   companion_protocol_fuzz  the reading companion's request heads, a page's frames and the server's own
#   scripts/fuzz.sh [seconds] [target...]
# Environment: KX_FUZZ_BUILD_DIR (default build/fuzz), KX_FUZZ_JOBS (default 1).
# New inputs are kept in $KX_FUZZ_BUILD_DIR/<target>-corpus; a crash is
# written to $KX_FUZZ_BUILD_DIR/crash-* and the script fails.
set -euo pipefail

seconds="${1:-60}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KX_FUZZ_BUILD_DIR:-$root/build/fuzz}"
jobs="${KX_FUZZ_JOBS:-1}"
targets=("$@")
((${#targets[@]})) || targets=(settings_fuzz decode_fuzz append_log_fuzz agth_rules_fuzz value_encodings_fuzz chat_answer_fuzz chat_stream_fuzz
  companion_protocol_fuzz)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX_BUILD_FUZZERS=ON -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" settings_dict -j2
"$build/fuzz/settings_dict" >"$build/settings.dict"

parallel=()
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); fi
cd "$build"
for target in "${targets[@]}"; do
  corpus="$build/${target%_fuzz}-corpus"
  mkdir -p "$corpus"
  seeds=()
  extra=()
  if [[ $target == settings_fuzz ]]; then
    corpus="$build/settings-corpus"
    mkdir -p "$corpus"
    seeds=("$root/fuzz/corpus/settings")
    extra=(-dict="$build/settings.dict")
  elif [[ $target == companion_protocol_fuzz ]]; then
    seeds=("$root/fuzz/corpus/companion")
  fi
  echo "== $target: ${seconds} s"
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
    -artifact_prefix="$build/" "${extra[@]}" "${parallel[@]}" "$corpus" "${seeds[@]}" 2>&1 |
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|Done)|cov:' | tail -4
  [[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "$target failed: see $build/crash-*"; exit 1; }
done
