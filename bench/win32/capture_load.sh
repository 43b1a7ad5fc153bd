#!/usr/bin/env bash
# What the user sees of the capture under load, measured from outside the real
# KestruneEX.exe under Wine and Xvfb, each figure beside a baseline measured in
# the same run:
#   1. distinct lines shown for 300 clipboard changes 0, 2 and 5 ms apart,
#      against a minimal clipboard viewer of our own (it only reads the
#      clipboard and keeps the text) in the same prefix, the two in turn
#      KX_BENCH_REPEATS times (default 3), medians;
#   2. how long the window takes to answer while a 300 ms engine translates a
#      burst, against the same window idle;
#   3. clipboard change to line painted, for a short line with a 10 KB log,
#      against the same with an empty log.
#
#   bench/win32/capture_load.sh [--i686-emulated] [build-dir]     (default: the tested build)
#     --i686-emulated: the i686 build under qemu user-mode emulation, where
#     this machine runs no 32-bit code (scripts/i686-under-emulation.sh)
# It passes or fails nothing; it prints figures and ratios.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" capture-load "$@"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }
distinct_in_log() { log_lines | grep "^$1" | sort -u | wc -l; }

# The viewer and the program in turn, several times: one burst each says
# little on a machine that is doing other work too.
repeats=${KX_BENCH_REPEATS:-3}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "1. distinct lines shown of 300 changes, $repeats runs of the minimal viewer and the program in turn"
write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
for run in $(seq "$repeats"); do
  drv clip-viewer --in-memory "$work/viewer.txt" 60000 >/dev/null &
  viewer=$!
  sleep 1
  for interval in 0 2 5; do
    drv clip-burst 300 "$interval" "v$interval-" | sed -n 's/.*elapsed-ms=\([0-9.]*\).*/\1/p' >"$work/took-v$interval.txt"
  done
  drv close-window --exact kx-e2e-clipboard-viewer >/dev/null
  wait $viewer
  app_start
  app_ready
  for interval in 0 2 5; do
    took=$(drv clip-burst 300 "$interval" "p$interval-" | sed -n 's/.*elapsed-ms=\([0-9.]*\).*/\1/p')
    drv wait-log-ends-with "$(esc "p$interval-300")" 10000 >/dev/null
    base=$(grep -o "text=v$interval-[0-9]*" "$work/viewer.txt" | sort -u | wc -l)
    ours=$(distinct_in_log "p$interval-")
    echo "$ours $base $took $(cat "$work/took-v$interval.txt")" >>"$work/distinct-$interval.txt"
  done
  app_close >/dev/null
done
for interval in 0 2 5; do
  ours=$(cut -d' ' -f1 "$work/distinct-$interval.txt" | median)
  base=$(cut -d' ' -f2 "$work/distinct-$interval.txt" | median)
  printf '   %d ms apart: program %3s, minimal viewer %3s (medians), ratio %s; each run: %s\n' "$interval" "$ours" \
    "$base" "$(ratio "$ours" "$base")" "$(cut -d' ' -f1,2 "$work/distinct-$interval.txt" | tr ' \n' '/ ')"
  # A reader that holds the clipboard open makes the writer wait (and so
  # sees more of its texts): how long the 300 changes took beside each.
  printf '      the writer took %s ms beside the program, %s ms beside the viewer (medians)\n' \
    "$(cut -d' ' -f3 "$work/distinct-$interval.txt" | median)" "$(cut -d' ' -f4 "$work/distinct-$interval.txt" | median)"
done

app_start
app_ready
echo "3. change to line painted, median of 25"
drv command 40100 >/dev/null   # Clear text
empty=$(drv change-to-line 25 'short line ')
clip "$(head -c 10000 /dev/zero | tr '\0' 'x')"
sleep 0.5
full=$(drv change-to-line 25 'short line after 10 KB ')
e=$(sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$empty")
f=$(sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$full")
printf '   empty log: %s\n   10 KB log: %s\n   ratio 10 KB / empty: %s\n' "$empty" "$full" "$(ratio "$f" "$e")"
app_close >/dev/null

echo "2. the window's answer time while a 300 ms engine translates 6 lines"
rm -f KestruneEX.ini
write_ini '[Agth]' 'AgthATrun=0'
KX_STANDIN_DELAY_MS=300 app_start
app_ready
idle=$(drv probe-answers 1000 20)
drv probe-answers 2500 20 >"$work/busy.txt" &
probe=$!
sleep 0.2
for i in 1 2 3 4 5 6; do clip "translated line $i"; sleep 0.01; done
wait $probe
busy=$(cat "$work/busy.txt")
im=$(sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$idle")
bm=$(sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$busy")
printf '   idle:   %s\n   busy:   %s\n   ratio of medians busy / idle: %s\n' "$idle" "$busy" "$(ratio "$bm" "$im")"
app_close >/dev/null
