#!/usr/bin/env bash
# The reading companion as its clients see it, measured from outside the real
# KestruneEX.exe under Wine and Xvfb in the same run:
#  - a clipboard change to the line received by a /source client, against the
#    same change to the line painted in the log (20 lines one at a time; the
#    aim: a ratio of the medians of at most 1.2);
#  - 1,000 lines sent at once over a WebSocket source: how many reach a
#    /lines client whole, and the time from the send to the last one there,
#    against the time to the last one painted.
#
#   bench/win32/companion_path.sh [--i686-emulated] [build-dir]     (default: the tested build)
# It passes or fails nothing; it prints figures and ratios.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" companion-path "$@"
bench_cleanup() { companion_clients_stop; ws_server_stop; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
painted_at() { sed -n 's/.*painted-at-ms=\([0-9.]*\).*/\1/p' "$1"; }
# When the client of `log` got its first message holding `text`.
received_at() { # log text
  python3 -c 'import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    n, at, message = (line.rstrip("\n").split(" ", 2) + ["", ""])[:3]
    if at.startswith("at=") and sys.argv[2] in json.loads(message):
        print(at[3:]); break' "$1" "$2"
}

port=$(free_port)
ws_server_start hooker
write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' "WebSocketUrl=ws://127.0.0.1:$WS_PORT" \
  '[Companion]' 'Enabled=1' "Port=$port"
app_start
app_ready
companion_client source "$port" /source --times
companion_client lines "$port" /lines --times
wait_file_line source.log '^open 1$' 10 >/dev/null
wait_file_line lines.log '^open 1$' 10 >/dev/null

to_client=() to_log=()
for i in $(seq -w 1 20); do
  drv wait-painted "$(esc $'\r\n'"p$i-001")" 20000 >painted.txt &
  waiter=$!
  sleep 1  # the driver's own start under Wine
  burst=$(drv clip-burst 1 0 "p$i-")
  wait "$waiter"
  start=$(sed -n 's/.*started-at-ms=\([0-9.]*\).*/\1/p' <<<"$burst")
  wait_file_line source.log "\"p$i-001\"\$" 5 >/dev/null
  to_client+=("$(awk -v a="$(received_at source.log "p$i-001")" -v b="$start" 'BEGIN { printf "%.1f", a - b }')")
  to_log+=("$(awk -v a="$(painted_at painted.txt)" -v b="$start" 'BEGIN { printf "%.1f", a - b }')")
done
client_median=$(printf '%s\n' "${to_client[@]}" | median)
log_median=$(printf '%s\n' "${to_log[@]}" | median)

# 1,000 lines at once over the WebSocket source (the clipboard off).
drv command "$KX_CMD_SOURCE_WEBSOCKET" >/dev/null
drv command "$KX_CMD_SOURCE_CLIPBOARD" >/dev/null
drv wait-log-contains "$(esc "Text source: connected to")" 10000 >/dev/null
drv wait-painted "$(esc $'\r\n'"w1000")" 60000 >painted.txt &
waiter=$!
sleep 1
ws_send burst 1000 w
wait "$waiter"
sent=$(grep '^sent burst at=' hooker.log | tail -n 1 | sed 's/.*at=//')
for _ in $(seq 100); do
  [[ -n $(received_at lines.log '"source":"w1000","shown":"w1000","final":true') ]] && break
  sleep 0.1
done
# The lines whole at the client (their final message), and when the last came.
read -r whole last_client < <(python3 -c 'import json, sys
finals, last = set(), ""
for line in open(sys.argv[1], encoding="utf-8"):
    n, at, message = (line.rstrip("\n").split(" ", 2) + ["", ""])[:3]
    if not at.startswith("at="):
        continue
    line = json.loads(json.loads(message))
    if line["final"] and line["source"].startswith("w"):
        finals.add(line["source"])
        last = at[3:]
print(len(finals), last)' lines.log)
burst_client=$(awk -v a="$last_client" -v b="$sent" 'BEGIN { printf "%.0f", a - b }')
burst_log=$(awk -v a="$(painted_at painted.txt)" -v b="$sent" 'BEGIN { printf "%.0f", a - b }')
app_close >/dev/null

printf 'clipboard change to the line, 20 lines one at a time (medians)\n'
printf '   received by a /source client: %s ms\n' "$client_median"
printf '   painted in the log:           %s ms\n' "$log_median"
printf '   ratio client / log (aim: at most 1.2): %s\n' "$(ratio "$client_median" "$log_median")"
printf '1,000 lines at once over a WebSocket source\n'
printf '   reached a /lines client whole: %s of 1000\n' "$whole"
printf '   send to the last one there:    %s ms\n' "$burst_client"
printf '   send to the last one painted:  %s ms\n' "$burst_log"
printf '   ratio client / log: %s\n' "$(ratio "$burst_client" "$burst_log")"
