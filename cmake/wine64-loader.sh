#!/bin/sh
# Starts a Windows program under Wine's 64-bit loader. Used for the x86_64
# build's tests, and as "wine" on a machine whose kernel cannot run Wine's
# 32-bit loader (scripts/lib.sh).
if [ -x /usr/lib/wine/wine64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  exec /usr/lib/wine/wine64 "$@"
fi
exec wine "$@"
