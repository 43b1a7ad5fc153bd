#!/usr/bin/env bash
# The Win32 tests of a Windows build (GoogleTest under Wine, one ctest entry
# per test case) on a virtual display, in WINEPREFIX, booted when it is new.
#
#   scripts/wine-tests.sh build-dir
set -euo pipefail
source "$(dirname "$0")/lib.sh"

build=$(cd "${1:?usage: $0 build-dir}" && pwd)
[[ -n ${WINEPREFIX:-} ]] || { echo "$0: set WINEPREFIX" >&2; exit 2; }
kx_wine_prefix "$WINEPREFIX"
wineserver -p >/dev/null 2>&1   # one server for every test process
rc=0
xvfb-run -a -s '-screen 0 1280x1024x24' ctest --test-dir "$build" --output-on-failure || rc=$?
wineserver -k >/dev/null 2>&1 || true
exit $rc
