#!/usr/bin/env bash
# Lines a hooker writes at once, as the user sees them: 1,000 lines sent at
# once over the WebSocket text source against 1,000 clipboard changes at once
# (back to back), both into the real KestruneEX.exe under Wine and Xvfb in the
# same run. For each: the lines shown of 1,000, and the time from the first
# send (or change) to the last line painted; the median of three rounds.
#
#   bench/win32/websocket_load.sh [--i686-emulated] [build-dir]     (default: the tested build)
# It passes or fails nothing; it prints figures and ratios.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" websocket-load "$@"
bench_cleanup() { ws_server_stop; }

count=1000
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
shown() { log_lines | grep -c "^$1[0-9]*\$"; }
painted_at() { sed -n 's/.*painted-at-ms=\([0-9.]*\).*/\1/p' "$1"; }
# Starts waiting for the last line before the lines are sent (the driver
# takes a moment to start under Wine); WAITER is its process.
wait_painted_from_now() { # last-line out-file
  drv wait-painted "$1" 60000 >"$2" &
  WAITER=$!
  sleep 1
}

ws_server_start hooker
write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' "WebSocketUrl=ws://127.0.0.1:$WS_PORT"
app_start
app_ready
ws_times=() clip_times=() ws_shown=() clip_shown=()
for round in 1 2 3; do
  # The clipboard, the program's source at start.
  wait_painted_from_now "c$round-$count" painted.txt
  burst=$(drv clip-burst "$count" 0 "c$round-")
  wait "$WAITER"
  start=$(sed -n 's/.*started-at-ms=\([0-9.]*\).*/\1/p' <<<"$burst")
  clip_times+=("$(awk -v a="$(painted_at painted.txt)" -v b="$start" 'BEGIN { printf "%.0f", a - b }')")
  clip_shown+=("$(shown "c$round-")")
  # The WebSocket.
  drv command "$KX_CMD_SOURCE_WEBSOCKET" >/dev/null  # both on, then the clipboard off
  drv command "$KX_CMD_SOURCE_CLIPBOARD" >/dev/null
  drv wait-log-contains "$(esc "Text source: connected to")" 10000 >/dev/null
  wait_painted_from_now "w$round-$count" painted.txt
  ws_send burst "$count" "w$round-"
  wait "$WAITER"
  start=$(grep '^sent burst at=' hooker.log | tail -n 1 | sed 's/.*at=//')
  ws_times+=("$(awk -v a="$(painted_at painted.txt)" -v b="$start" 'BEGIN { printf "%.0f", a - b }')")
  ws_shown+=("$(shown "w$round-")")
  drv command "$KX_CMD_SOURCE_CLIPBOARD" >/dev/null  # both on, then the WebSocket off
  drv command "$KX_CMD_SOURCE_WEBSOCKET" >/dev/null
  drv command 40100 >/dev/null   # Clear text
  printf '   round %d: WebSocket %4d shown, %5d ms; clipboard %4d shown, %5d ms\n' "$round" \
    "${ws_shown[-1]}" "${ws_times[-1]}" "${clip_shown[-1]}" "${clip_times[-1]}"
done
app_close >/dev/null

ws_s=$(printf '%s\n' "${ws_shown[@]}" | median)
clip_s=$(printf '%s\n' "${clip_shown[@]}" | median)
ws_t=$(printf '%s\n' "${ws_times[@]}" | median)
clip_t=$(printf '%s\n' "${clip_times[@]}" | median)
echo "$count lines at once, median of 3 rounds:"
printf '   WebSocket: %4d of %d shown; first send to last line painted %5d ms\n' "$ws_s" "$count" "$ws_t"
printf '   clipboard: %4d of %d shown; first change to last line painted %5d ms\n' "$clip_s" "$count" "$clip_t"
printf '   ratio WebSocket / clipboard: lines shown %s, time %s\n' "$(ratio "$ws_s" "$clip_s")" "$(ratio "$ws_t" "$clip_t")"
