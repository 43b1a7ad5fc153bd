#!/usr/bin/env bash
# What a reader sees of a streamed translation, measured from outside the
# real KestruneEX.exe under Wine and Xvfb: a loopback server (the tests'
# chat_server.py) writes each answer in 20 pieces 50 ms apart; for each of 15
# lines, the times from the clipboard change to the first words painted and
# to the whole answer painted, and how long after the server sent the first
# piece its words were painted (the aim: within 100 ms).
#
#   bench/win32/server_stream_latency.sh [--i686-emulated] [build-dir]   (default: the tested build)
# It passes or fails nothing; it prints figures and the ratio.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" server-stream-latency "$@"
bench_cleanup() { chat_server_stop; }

lines=15 pieces=20
chat_server_start server --max-requests 1000 --stream-gap 0.05 --stream-pieces $pieces
write_ini '[Agth]' 'AgthATrun=0' '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions"
app_start
app_ready
drv command $KX_CMD_UNICODE >/dev/null
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
results=()
for i in $(seq 0 $lines); do
  # 100 letters: the first of the 20 pieces is "KO:" and the line's number.
  n=$(printf '%02d' "$i")
  text="$n $(printf 'あ%.0s' $(seq 97))"
  answer="KO:$text"
  first=${answer:0:$((${#answer} / pieces))}
  drv wait-painted "$(esc "$first")" 10000 >first.out 2>&1 &
  wf=$!
  drv wait-painted "$(esc "$answer")" 15000 >whole.out 2>&1 &
  ww=$!
  sleep 0.7  # both watchers up before the change
  set_at=$(field set-at-ms "$(drv set-clipboard-unicode "$(esc "$text")")")
  wait $wf $ww
  first_at=$(field painted-at-ms "$(cat first.out)")
  whole_at=$(field painted-at-ms "$(cat whole.out)")
  sent=$(python3 -c 'import json,sys; t=json.load(open(sys.argv[1])); print("%.1f" % (t[1] * 1000))' "server/request-$((i + 1)).pieces" 2>/dev/null)
  [[ -n $set_at && -n $first_at && -n $whole_at && -n $sent ]] || { echo "line $n: not measured"; cat first.out whole.out; continue; }
  ((i == 0)) && continue  # the first call loads what it needs
  results+=("$(awk -v s="$set_at" -v f="$first_at" -v w="$whole_at" -v p="$sent" 'BEGIN { printf "%.1f %.1f %.1f", f - s, w - s, f - p }')")
done
app_close >/dev/null
median() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
first=$(median 1) whole=$(median 2) after=$(median 3)
printf 'streamed answer, %d pieces 50 ms apart, median of %d lines:\n' $pieces ${#results[@]}
printf '   clipboard change to first words painted:   %s ms\n' "$first"
printf '   clipboard change to whole answer painted:  %s ms\n' "$whole"
printf '   first piece sent to its words painted:     %s ms (aim: within 100 ms)\n' "$after"
printf '   ratio first words / whole answer:          %s\n' "$(awk -v a="$first" -v b="$whole" 'BEGIN { printf "%.2f", a / b }')"
