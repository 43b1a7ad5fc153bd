#!/usr/bin/env bash
# The log view under big logs and huge captures, measured from outside the
# real KestruneEX.exe under Wine and Xvfb, each beside a baseline of the same run:
#   1. clipboard change to line painted for a short line with a 10 MB log,
#      against the same with a 10 KB log (aim: ratio at most 1.2);
#   2. one 50 MB capture: the time until the log ends with it, and the
#      window's longest unanswered stretch meanwhile, against the idle window
#      (under Wine that stretch is mostly the wineserver handing the 50 MB
#      clipboard to the reading thread: a window of another program, probed
#      the same way, waits as long then; Windows has no such shared server);
#   3. the process's memory with a 50 MB log against an empty one.
#
#   bench/win32/log_view_load.sh [build-dir]     (default: the tested build)
# It passes or fails nothing; it prints figures and ratios.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" log-view-load "$@"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }
median() { sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$1"; }
# Resident memory of the program's process in KiB.
resident_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$(pgrep -f 'KestruneEX.exe' | head -1)/status"; }
# Puts `units` UTF-16 units on the clipboard (a 10-unit piece repeated) and
# waits until the log, just cleared, ends with them (and the line break the
# first line of a log gets).
capture() { # units tag
  drv set-clipboard-repeat $(($1 / 10)) "$(esc "あいうえお$2")" >/dev/null
  drv wait-log-ends-with "$(esc "えお$2")\r\n" 120000 >/dev/null 2>&1 || echo "   (the capture of $2 never reached the log's end)"
}

write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
app_start
app_ready
drv command "$ID_METHOD_UNICODE" >/dev/null
drv command "$ID_POPUP_CLEARTEXT" >/dev/null
sleep 1
empty_kib=$(resident_kib)

echo "1. change to line painted, median of 15"
capture 5000 10KB
small=$(drv change-to-line 15 'short line after 10 KB ')
drv command "$ID_POPUP_CLEARTEXT" >/dev/null
capture 5000000 10MB
large=$(drv change-to-line 15 'short line after 10 MB ')
printf '   10 KB log: %s\n   10 MB log: %s\n   ratio 10 MB / 10 KB: %s\n' "$small" "$large" \
  "$(ratio "$(median "$large")" "$(median "$small")")"

echo "2. one 50 MB capture"
drv command "$ID_POPUP_CLEARTEXT" >/dev/null
idle=$(drv probe-answers 1000 20)
drv probe-answers 8000 20 >"$work/busy.txt" &
probe=$!
start=$(date +%s%N)
# Waited for by its length: copying 50 MB out of the window to compare would
# itself hold the window up while the probes run. Its end is checked after.
drv set-clipboard-repeat 2500000 "$(esc "あいうえお50MB")" >/dev/null  # 9 units, 2.5 million times
drv wait-log-length 22500000 120000 >/dev/null || echo "   (the capture of 50 MB never reached the log)"
shown_ms=$(( ($(date +%s%N) - start) / 1000000 ))
wait $probe
drv wait-log-ends-with "$(esc "えお50MB")\r\n" 60000 >/dev/null 2>&1 || echo "   (the log does not end with the 50 MB capture)"
busy=$(cat "$work/busy.txt")
maxb=$(sed -n 's/.*max-ms=\([0-9.]*\).*/\1/p' <<<"$busy")
maxi=$(sed -n 's/.*max-ms=\([0-9.]*\).*/\1/p' <<<"$idle")
printf '   shown in %d ms (clipboard change to the log ending with it, as the driver sees it)\n' "$shown_ms"
printf '   idle:  %s\n   busy:  %s\n   longest unanswered stretch busy / idle: %s\n' "$idle" "$busy" "$(ratio "$maxb" "$maxi")"

echo "3. memory"
sleep 1
full_kib=$(resident_kib)
printf '   empty log: %d KiB\n   50 MB log: %d KiB\n   ratio: %s; %s bytes held per byte of UTF-16 text\n' \
  "$empty_kib" "$full_kib" "$(ratio "$full_kib" "$empty_kib")" \
  "$(awk -v a="$full_kib" -v b="$empty_kib" 'BEGIN { printf "%.2f", (a - b) * 1024 / 50000000 }')"
app_close >/dev/null
