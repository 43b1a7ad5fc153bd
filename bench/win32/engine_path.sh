#!/usr/bin/env bash
# What the engine path costs the reader, measured from outside the real
# KestruneEX.exe under Wine and Xvfb, each figure beside its baseline in the
# same run:
#   1. clipboard change to line painted with the stand-in ezTrans (which
#      answers in microseconds), against the same with translation off, 40
#      distinct lines each (the aim: a ratio of at most 1.2);
#   2. with the stand-in ezTrans as the draft and a loopback server that takes
#      1 s as the main engine: change to the draft painted, and to the
#      server's answer painted in its place, median of 8 lines.
#
#   bench/win32/engine_path.sh [--i686-emulated] [build-dir]     (default: the tested build)
# It passes or fails nothing; it prints figures and ratios.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" engine-path "$@"
bench_cleanup() { chat_server_stop; }

median() { sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$1"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

measure() { # translation (0 or 1), prefix
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' "Translation=$1"
  app_start
  app_ready
  drv change-to-line 3 "warm-up $2" >/dev/null   # first calls load what they need
  drv change-to-line 40 "$2"
  app_close >/dev/null
}
off=$(measure 0 'plain line ')
on=$(measure 1 'translated line ')
printf 'change to line painted, 40 lines each\n'
printf '   translation off:              %s\n' "$off"
printf '   stand-in ezTrans:             %s\n' "$on"
printf '   ratio translated / off:       %s (aim: at most 1.2)\n' \
  "$(awk -v a="$(median "$on")" -v b="$(median "$off")" 'BEGIN { printf "%.2f", a / b }')"

chat_server_start server --max-requests 1000 --delay 1
write_ini '[Agth]' 'AgthATrun=0' '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" \
  'Stream=0' 'Draft=ezTrans'
app_start
app_ready
drv command $KX_CMD_UNICODE >/dev/null
drafts=() mains=()
for i in $(seq 0 8); do
  # The stand-in keeps ASCII as it is; the server answers "KO:" + the text.
  text="draft line $i"
  drv wait-painted "$(esc "$text")" 10000 >draft.out 2>&1 &
  wd=$!
  drv wait-painted "$(esc "KO:$text")" 15000 >main.out 2>&1 &
  wm=$!
  sleep 0.7  # both watchers up before the change
  set_at=$(field set-at-ms "$(drv set-clipboard-unicode "$(esc "$text")")")
  wait $wd $wm
  draft_at=$(field painted-at-ms "$(cat draft.out)")
  main_at=$(field painted-at-ms "$(cat main.out)")
  [[ -n $set_at && -n $draft_at && -n $main_at ]] || { echo "line $i: not measured"; cat draft.out main.out; continue; }
  ((i == 0)) && continue  # the first call loads what it needs
  drafts+=("$(awk -v s="$set_at" -v p="$draft_at" 'BEGIN { printf "%.1f", p - s }')")
  mains+=("$(awk -v s="$set_at" -v p="$main_at" 'BEGIN { printf "%.1f", p - s }')")
done
app_close >/dev/null
mid() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf 'draft then main (the main engine takes 1 s), median of %d lines:\n' ${#drafts[@]}
printf '   change to draft painted:      %s ms\n' "$(mid "${drafts[@]}")"
printf '   change to main answer painted: %s ms\n' "$(mid "${mains[@]}")"
