#!/usr/bin/env bash
# A line shown from the game's translation memory, against the same shown
# from the engine's answers kept for the run, measured from outside the real
# KestruneEX.exe under Wine and Xvfb in the same run: clipboard change to
# line painted, 40 distinct lines each (the aim: a ratio of at most 1.2).
#
#   bench/win32/memory_path.sh [--i686-emulated] [build-dir]     (default: the tested build)
# It passes or fails nothing; it prints figures and the ratio.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" memory-path "$@"

median() { sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$1"; }

# From the memory: every line is in Games\(none)\memory.txt; the server named
# is never asked (nothing listens there).
mkdir -p 'Games/(none)'
for i in $(seq -f '%03g' 1 40); do printf 'memory line %s\tKO:memory line %s\r\n' "$i" "$i"; done >'Games/(none)/memory.txt'
for i in $(seq -f '%03g' 1 3); do printf 'warm-up memory line %s\tKO:warm-up memory line %s\r\n' "$i" "$i"; done >>'Games/(none)/memory.txt'
write_ini '[Agth]' 'AgthATrun=0' '[Engine]' 'Kind=Server' 'Url=http://127.0.0.1:9/v1/chat/completions'
app_start
app_ready
sleep 1  # the memory is read on a thread of its own
drv change-to-line 3 'warm-up memory line ' >/dev/null
memory=$(drv change-to-line 40 'memory line ')
app_close >/dev/null
rm -rf Games

# From the engine's answers kept for the run: the same 40 lines twice, the
# second time measured.
write_ini '[Agth]' 'AgthATrun=0'
app_start
app_ready
drv change-to-line 40 'cache line ' >/dev/null
cache=$(drv change-to-line 40 'cache line ')
app_close >/dev/null

printf 'change to line painted, 40 lines each\n'
printf '   from the translation memory:  %s\n' "$memory"
printf '   from the answers kept:        %s\n' "$cache"
printf '   ratio memory / kept (aim: at most 1.2): %s\n' \
  "$(awk -v a="$(median "$memory")" -v b="$(median "$cache")" 'BEGIN { printf "%.2f", a / b }')"
