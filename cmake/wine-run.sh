#!/bin/sh
# ctest's emulator for the cross-built tests: runs "<loader> <program> <args>"
# with the output going through a file, then prints it. Wine services that the
# first program of a prefix starts (explorer, winedevice) would otherwise keep
# ctest's pipe open after the program has ended.
out=$(mktemp /tmp/kx-wine-run.XXXXXX)
"$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
