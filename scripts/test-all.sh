#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test level:
# native unit tests, the Win32 tests under Wine, and the end-to-end tests of
# the real program under Wine and Xvfb. Each step prints the build it ran on
# and the time it took; a summary of the times closes the run.
#
# Where this machine runs no 32-bit code, the Wine levels run on the x86_64
# build, and then the Win32 tests and a chosen set of end-to-end scenarios run
# once more on the i686 build, under user-mode emulation
# (scripts/i686-under-emulation.sh). KX_I686_EMULATION=0 leaves those out.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# The scenarios of what only the i686 build can get wrong (the engine's
# stdcall entry points, structure sizes, handles and pointers in 32 bits):
# start-up with the stand-in engine, translated lines, the server engine, the
# AGTH helper starting programs, the settings file written at exit, hotkeys,
# an engine call that hangs (32-bit exception handling), the WebSocket client,
# a streamed server answer.
i686_scenarios='startup_with_engine translation_and_flood translation_server server_streaming agth_attach agth_shortcut_run
  ini_written_at_exit hotkeys_global hung_engine websocket_source'

prefix= i686_prefix=
finish() {
  local rc=$?
  [[ -n $prefix ]] && { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"; }
  [[ -n $i686_prefix ]] && rm -rf "$i686_prefix"
  kx_level_summary
  ((rc == 0)) && kx_log "all tests passed"
  exit $rc
}
trap finish EXIT

kx_ensure_packages

kx_level "build: native" kx_build native
kx_level "level 1: native unit tests" ctest --test-dir "$KX_ROOT/build/native" --output-on-failure

kx_level "build: native-asan" kx_build native-asan
kx_level "level 1: native unit tests under ASan/UBSan" \
  env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$KX_ROOT/build/native-asan" --output-on-failure

tsan_tests() {
  local tsan=$KX_ROOT/build/native-tsan
  # -O1 with line tables only, as in the ASan preset: half the build time,
  # and reports still name file and line.
  cmake -S "$KX_ROOT" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
  cmake --build "$tsan" --target kx_unit_tests -j"$(nproc)"
  # Every unit test: those that start threads are found by running them all.
  TSAN_OPTIONS=halt_on_error=1 "$tsan/tests/unit/kx_unit_tests" --gtest_brief=1
}
kx_level "level 1: the unit tests under ThreadSanitizer (build included)" tsan_tests

kx_level "build: win32 (i686, the product)" kx_build win32
kx_level "build: win64 (x86_64)" kx_build win64

kx_level "the Windows download" "$KX_ROOT/scripts/check-package.sh"

# --- the Wine levels on the build this machine runs --------------------------
name=$(kx_wine_build_name "$KX_WINE_BUILD")
[[ $KX_WINE_BUILD == win32 ]] ||
  kx_log "this machine cannot run 32-bit programs: the full Wine levels run on the $KX_WINE_BUILD build"
prefix=$(mktemp -d /tmp/kx-wine-test.XXXXXX)
kx_level "level 2: Win32 tests under Wine [$name]" \
  env WINEPREFIX="$prefix" "$KX_ROOT/scripts/wine-tests.sh" "$KX_ROOT/build/$KX_WINE_BUILD"
if [[ -x $KX_ROOT/tests/e2e/run-e2e.sh ]]; then
  # Two shards at once where there are two cores: the scenarios mostly wait.
  shards=$(($(nproc) >= 2 ? 2 : 1))
  kx_level "level 3: end-to-end tests under Wine and Xvfb, every scenario, in $shards shards [$name]" \
    env WINEPREFIX="$prefix" KX_E2E_JOBS=$shards "$KX_ROOT/tests/e2e/run-e2e.sh" "$KX_ROOT/build/$KX_WINE_BUILD"
fi

# --- the product itself, under emulation, where 32-bit code cannot run -------
if [[ $KX_WINE_BUILD != win32 && ${KX_I686_EMULATION:-1} != 0 ]]; then
  name="$(KX_I686_EMULATED=1 kx_wine_build_name win32)"
  i686_prefix=$(mktemp -d /tmp/kx-i686-wine.XXXXXX)
  emulated() { env WINEPREFIX="$i686_prefix" "$KX_ROOT/scripts/i686-under-emulation.sh" "$@"; }
  kx_level "i686 under emulation: the Debian root (built once, then reused) and a 32-bit Wine prefix" \
    emulated bash -c "source '$KX_ROOT/scripts/lib.sh' && kx_wine_prefix \"\$WINEPREFIX\""
  kx_level "level 2: Win32 tests under Wine [$name]" \
    emulated "$KX_ROOT/scripts/wine-tests.sh" "$KX_ROOT/build/win32"
  # shellcheck disable=SC2086 # a list of names
  kx_level "level 3: end-to-end tests under Wine and Xvfb, the scenarios $(echo $i686_scenarios) [$name]" \
    emulated env KX_E2E_ONLY="$(echo $i686_scenarios)" "$KX_ROOT/tests/e2e/run-e2e.sh" "$KX_ROOT/build/win32"
elif [[ $KX_WINE_BUILD != win32 ]]; then
  kx_log "KX_I686_EMULATION=0: the i686 build is not tested on this machine"
fi

if [[ -x $KX_ROOT/scripts/fuzz.sh ]]; then
  kx_level "fuzz smoke run" "$KX_ROOT/scripts/fuzz.sh" 8
fi
