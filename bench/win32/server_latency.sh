#!/usr/bin/env bash
# Clipboard change to translated line painted, measured from outside the real
# KestruneEX.exe under Wine and Xvfb, median of 50 distinct lines each:
#   - with a translation server on the loopback that answers at once (the
#     tests' own chat_server.py), against
#   - the same with the stand-in ezTrans engine, in the same run.
# The difference is what the server path (request, HTTP, JSON) adds.
#
#   bench/win32/server_latency.sh [--i686-emulated] [build-dir]     (default: the tested build)
#     --i686-emulated: the i686 build under qemu user-mode emulation, where
#     this machine runs no 32-bit code (scripts/i686-under-emulation.sh)
# It passes or fails nothing; it prints figures and the ratio.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" server-latency "$@"
bench_cleanup() { chat_server_stop; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }
median() { sed -n 's/.*median-ms=\([0-9.]*\).*/\1/p' <<<"$1"; }

chat_server_start server --max-requests 1000
url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions"

# Both engines show a line that ends with the text copied: the stand-in keeps
# ASCII as it is, the server answers "KO:" + the text.
measure() { # engine kind, prefix
  write_ini '[Agth]' 'AgthATrun=0' '[Engine]' "Kind=$1" "Url=$url"
  app_start
  app_ready
  drv change-to-line 3 "warm-up $2" >/dev/null   # first calls load what they need
  drv change-to-line 50 "$2"
  app_close >/dev/null
}
ez=$(measure ezTrans 'ezTrans line ')
srv=$(measure Server 'server line ')
chat_server_stop
# The same server acknowledging the request headers at once: Wine's WinHTTP
# writes headers and body separately, and without this the body waits for
# the server's delayed ACK.
chat_server_start quick --max-requests 1000 --quick-ack
url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions"
quick=$(measure Server 'quick line ')
ezm=$(median "$ez")
printf 'change to translated line painted, 50 lines each\n'
printf '   stand-in ezTrans:             %s\n' "$ez"
printf '   loopback server:              %s\n' "$srv"
printf '   loopback server, quick ACK:   %s\n' "$quick"
for run in srv quick; do
  m=$(median "${!run}")
  printf '   %-5s adds %s ms to the median; ratio to ezTrans: %s\n' "$run" \
    "$(awk -v a="$m" -v b="$ezm" 'BEGIN { printf "%.2f", a - b }')" "$(ratio "$m" "$ezm")"
done
