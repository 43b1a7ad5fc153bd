#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test level:
# native unit tests, the Win32 tests under Wine, and the end-to-end tests of
# the real program under Wine and Xvfb.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

kx_ensure_packages

kx_build native
kx_log "level 1: native unit tests"
ctest --test-dir "$KX_ROOT/build/native" --output-on-failure

# --- native unit tests under ASan/UBSan ---
kx_build native-asan
kx_log "level 1: native unit tests under ASan/UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$KX_ROOT/build/native-asan" --output-on-failure
# --- end of the ASan/UBSan block ---

kx_log "level 1: the unit tests that run threads, under ThreadSanitizer"
tsan=$KX_ROOT/build/native-tsan
cmake -S "$KX_ROOT" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$tsan" --target kx_unit_tests -j"$(nproc)"
TSAN_OPTIONS=halt_on_error=1 "$tsan/tests/unit/kx_unit_tests" --gtest_filter='PipelineFixture.*'

kx_build win32
kx_build win64

kx_log "the Windows download"
"$KX_ROOT/scripts/check-package.sh"

prefix=$(mktemp -d /tmp/kx-wine-test.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
kx_wine_prefix "$prefix"

[[ $KX_WINE_BUILD == win32 ]] || kx_log "this machine cannot run 32-bit programs: the Wine tests run on the $KX_WINE_BUILD build"
kx_log "level 2: Win32 tests under Wine"
wineserver -p >/dev/null 2>&1   # one server for every test process
xvfb-run -a -s '-screen 0 1280x1024x24' \
  ctest --test-dir "$KX_ROOT/build/$KX_WINE_BUILD" --output-on-failure
wineserver -k >/dev/null 2>&1 || true

if [[ -x $KX_ROOT/tests/e2e/run-e2e.sh ]]; then
  kx_log "level 3: end-to-end tests under Wine and Xvfb"
  "$KX_ROOT/tests/e2e/run-e2e.sh" "$KX_ROOT/build/$KX_WINE_BUILD"
fi

if [[ -x $KX_ROOT/scripts/fuzz.sh ]]; then
  kx_log "fuzz smoke run"
  "$KX_ROOT/scripts/fuzz.sh" 8
fi

kx_log "all tests passed"
