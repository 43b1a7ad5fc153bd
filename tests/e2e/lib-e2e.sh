# Helpers of the end-to-end scenarios (sourced by run-e2e.sh and scripts/run.sh).
# They expect WINEPREFIX and DISPLAY to be set and KX_DRIVER to name the
# driver's exe.

# The title and every resource id (ID_OPTIONS_MONITORING=40010, ...) as the
# build made them, beside the driver.
source "$(dirname "${KX_DRIVER:?set KX_DRIVER before sourcing lib-e2e.sh}")/ids.sh" || { echo "missing ids.sh beside $KX_DRIVER (configure the build)"; exit 2; }
KX_MAIN_CLASS=KestruneEXMainWindow

# Menu command ids of the main window.
KX_CMD_MONITORING=$ID_OPTIONS_MONITORING
KX_CMD_TRANSLATION=$ID_OPTIONS_TRANSLATION
KX_CMD_ALWAYSONTOP=$ID_OPTIONS_ALWAYSONTOP
KX_CMD_ASCII=$ID_METHOD_ASCII
KX_CMD_HEXSEQ=$ID_METHOD_HEXSEQ
KX_CMD_HEXREV=$ID_METHOD_HEXREV
KX_CMD_UNICODE=$ID_METHOD_UNICODE
KX_CMD_TEXTFILTERS=$ID_OPTIONS_TEXTFILTERS
KX_CMD_ADVANCED=$ID_OPTIONS_ADVANCED
KX_CMD_SUBTITLE=$ID_POPUP_SUBTITLE
KX_CMD_ENGINE_EZTRANS=$ID_ENGINE_EZTRANS
KX_CMD_ENGINE_SERVER=$ID_ENGINE_SERVER
KX_CMD_SERVER_SETTINGS=$ID_ENGINE_SERVERSETTINGS
KX_CMD_CLICKTHROUGH=$ID_POPUP_CLICKTHROUGH
KX_CMD_SOURCE_CLIPBOARD=$ID_SOURCE_CLIPBOARD
KX_CMD_SOURCE_WEBSOCKET=$ID_SOURCE_WEBSOCKET
KX_CMD_WEBSOCKET_SETTINGS=$ID_SOURCE_WEBSOCKETSETTINGS
KX_CMD_CLEARTEXT=$ID_POPUP_CLEARTEXT
KX_WS_SERVER=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/ws_server/ws_server.py

drv() { wine "$KX_DRIVER" "$@"; }

# UTF-8 text as the driver's \uXXXX escapes (locale-independent command line).
esc() {
  printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE | od -An -v -tx1 | tr -d ' \n' | sed 's/\(....\)/\\u\1/g'
}

# UTF-8 text as Shift-JIS bytes in the driver's \xNN escapes.
sjis() {
  printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -v -tx1 | tr -d ' \n' | sed 's/\(..\)/\\x\1/g'
}

# Writes KestruneEX.ini in the current folder, one line per argument, CR LF.
write_ini() { printf '%s\r\n' "$@" >KestruneEX.ini; }

# Starts KestruneEX.exe from the current folder in the background (APP_PID).
app_start() {
  (exec wine KestruneEX.exe >>app.out 2>&1) &
  APP_PID=$!
}

# Waits for the main window with its full title.
app_ready() {
  drv wait-window --exact "$KX_TITLE" 30000 >/dev/null || { echo "  the main window did not appear: $(tail -c 300 app.out 2>/dev/null)"; return 1; }
}

# Closes the main window as the user would and checks a clean exit.
app_close() {
  local out rc=0
  out=$(drv close 15000) || return 1
  echo "$out"
  wait "$APP_PID" || rc=$?
  APP_PID=
  [[ " $out " == *" exit-code=0 "* && $rc == 0 ]]
}

# Closes as app_close does, says how long it took (the driver's own start
# included) and checks that it was under `limit-ms`.
app_close_within() { # limit-ms what-closes what-the-limit-means
  local t0 took
  t0=$(date +%s%N)
  expect "$2" app_close || return 1
  took=$((($(date +%s%N) - t0) / 1000000))
  echo "    closing took $took ms (the driver's own start included)"
  expect "$3" [ "$took" -lt "$1" ]
}

# Puts 8-bit text on the clipboard (driver escapes).
clip() { drv set-clipboard "$1" >/dev/null; }
# UTF-8 text put on the clipboard as UTF-16 only, as today's hookers do.
clipu() { drv set-clipboard-unicode "$(esc "$1")" >/dev/null; }

# Presses keys in the main window through the X server (xdotool), then F4 and
# waits for the AGTH helper to open and closes it: the keys travel in one input
# queue, so once the helper is up the keys before it have been handled.
keys() {
  local id
  id=$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)
  [[ -n $id ]] || { echo "no X window for the main window"; return 1; }
  xdotool windowfocus --sync "$id"
  xdotool key --delay 40 "$@" F4
  if ! drv wait-window --exact --class '#32770' 'AGTH helper' 10000 >/dev/null; then
    echo "keys $*: the AGTH helper did not open; X windows named like the title: $(xdotool search --name "^${KX_TITLE}\$" | paste -sd ' ')," \
      "focus: $(xdotool getwindowfocus 2>&1)"
    return 1
  fi
  drv click-button --exact --class '#32770' 'AGTH helper' Close 5000 >/dev/null
  drv wait-window-gone --exact --class '#32770' 'AGTH helper' 5000 >/dev/null
}

# The log view's text on one line, CR and LF written as \r and \n.
log_oneline() { drv get-log --oneline; }

# The log view's lines, one per line.
log_lines() { log_oneline | sed 's/\\r\\n/\n/g'; }

# Waits until a file has a line matching an extended regular expression.
wait_file_line() { # file regex timeout-seconds
  local deadline=$((SECONDS + $3))
  until grep -Eq -- "$2" "$1" 2>/dev/null; do
    ((SECONDS < deadline)) || { echo "timeout: no line /$2/ in $1"; return 1; }
    sleep 0.05
  done
}

# --- checks: each prints one line and fails the scenario when it does not hold

expect() { # description command...
  local what=$1
  shift
  if "$@"; then echo "  ok: $what"; else echo "  FAILED: $what"; return 1; fi
}

expect_eq() { # description actual expected
  if [[ $2 == "$3" ]]; then
    echo "  ok: $1"
  else
    printf '  FAILED: %s\n    expected: %s\n    actual:   %s\n' "$1" "$3" "$2"
    return 1
  fi
}

# Fails when the value (a driver output line) lacks one of the key=value words.
expect_fields() { # description line word...
  local what=$1 line=$2 w
  shift 2
  for w in "$@"; do
    if [[ " $line " != *" $w "* ]]; then
      printf '  FAILED: %s: no %s in\n    %s\n' "$what" "$w" "$line"
      return 1
    fi
  done
  echo "  ok: $what"
}

# --- the settings file

# "[Section]" lines and "Section.key=value" lines of an INI file.
ini_dump() {
  tr -d '\r' <"$1" | awk '/^\[.*\]$/ { s = substr($0, 2, length($0) - 2); print "[" s "]"; next }
                          /=/ { print s "." $0 }'
}

ini_get() { # file section key
  # Reads to the end: leaving early would end the dump with SIGPIPE.
  ini_dump "$1" | awk -v p="$2.$3=" '!found && index($0, p) == 1 { print substr($0, length(p) + 1); found = 1 }
                                     END { exit !found }'
}

# Every section of the settings file holds exactly its keys; the 100 shortcut
# sections hold all six keys each. Prints what is wrong.
ini_check_complete() { # file
  local file=$1 dump bad=0 section want got n
  dump=$(ini_dump "$file")
  declare -A keys=(
    [Setting]='Ancete ClickThrough Codepage Flood FloodChk GetTextMethod History TBgColor TMainFont uot'
    [WindowsPos]='MainHeight MainLeft MainTop MainWidth'
    [WindowsTransparent]='MainABV'
    [MainMenu]='Aot Translation'
    [Agth]='AgthATrun AgthAToption Agthpath'
    [Filters]='RepeatChars RepeatPhrase SkipRepeat'
    [Hotkeys]='ClickThrough HideUntilNext Monitoring Retranslate ShowHide Subtitle Translation'
    [Engine]='ApiKey ContextLines ContextTranslations Draft Fallback KeepDraft Kind MaxTokens Model Prompt Stream TimeoutS Url'
    [Subtitle]='Align OutlineColor OutlineWidth Shadow'
    [Capture]='Source WebSocketUrl WebSocketUrl2 WebSocketUrl3 WebSocketUrl4'
    [Profile]='Active'
    [DeepL]='ApiKey Url'
    [Papago]='ApiKey Honorific KeyId Url'
    [Companion]='Enabled Lan Port'
  )
  for n in $(seq 0 99); do keys[AgthSM$n]='AOption APath GName GTMethod Notes TDelay'; done
  for section in "${!keys[@]}"; do
    want=$(printf '%s\n' ${keys[$section]} | LC_ALL=C sort | paste -sd ' ')
    got=$(printf '%s\n' "$dump" |
      awk -v s="$section." 'index($0, s) == 1 { k = substr($0, length(s) + 1); sub(/=.*/, "", k); print k }' |
      LC_ALL=C sort | paste -sd ' ')
    if [[ $got != "$want" ]]; then
      echo "    section [$section]: keys '$got', wanted '$want'"
      bad=1
    fi
  done
  if grep -q '^\[AgthSM100\]' <<<"$dump"; then
    echo "    a section [AgthSM100] was written"
    bad=1
  fi
  return $bad
}

# Lets Wine draw Japanese and Korean text in the log view's font (Tahoma) by
# linking it to WenQuanYi Micro Hei, when that font is installed
# (fonts-wqy-microhei); without it such text shows as boxes.
kx_wine_cjk_font_link() {
  [[ $(fc-list 2>/dev/null) == *wqy-microhei.ttc* ]] || return 0
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
}

# A loopback translation server of the tests' own (answers "KO:" + the text),
# recording into the folder `name`; sets CHAT_PORT and CHAT_PID. It ends by
# itself after two minutes at the latest.
chat_server_start() { # name [server options...]
  local name=$1 i
  shift
  python3 "$KX_CHAT_SERVER" --port-file "$PWD/$name.port" --record "$PWD/$name" --lifetime 120 "$@" &
  CHAT_PID=$!
  for i in $(seq 100); do
    [[ -s $name.port ]] && break
    sleep 0.1
  done
  CHAT_PORT=$(cat "$name.port")
}
chat_server_stop() {
  [[ -n ${CHAT_PID:-} ]] || return 0
  kill "$CHAT_PID" 2>/dev/null || true
  wait "$CHAT_PID" 2>/dev/null || true
  CHAT_PID=
}

# A loopback WebSocket text server of the tests' own (a hooker's extension),
# on `port` (default or empty: a free one), recording its events into
# `name`.log and serving what ws_send tells it; sets WS_PORT and WS_PID. It
# ends by itself after two minutes at the latest. Options after the port go to
# the server (--close-at-once, --ignore-close).
ws_server_start() { # name [port [server options...]]
  local name=$1 port=${2:-0} i
  shift $(($# < 2 ? $# : 2))
  rm -f "$name.port" "$name.ctl"
  mkfifo "$name.ctl"
  python3 "$KX_WS_SERVER" --port "$port" --port-file "$PWD/$name.port" --record "$PWD/$name.log" --lifetime 120 \
    "$@" <"$name.ctl" &
  WS_PID=$!
  exec {WS_FD}>"$name.ctl"
  for i in $(seq 100); do
    [[ -s $name.port ]] && break
    sleep 0.1
  done
  WS_PORT=$(cat "$name.port")
}
# One command to the server: text <text>, burst <count> <prefix>, big <bytes>,
# binary <bytes>, flood <prefix>, close (see ws_server.py).
ws_send() { printf '%s\n' "$*" >&"$WS_FD"; }
# The end of its commands ends the server.
ws_server_stop() {
  [[ -n ${WS_PID:-} ]] || return 0
  exec {WS_FD}>&-
  local i
  for i in $(seq 50); do
    kill -0 "$WS_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$WS_PID" 2>/dev/null || true
  wait "$WS_PID" 2>/dev/null || true
  WS_PID=
}
# The server's connections still open: each "connected" not yet "gone".
ws_open_connections() { # name
  echo $(($(grep -c '^connected ' "$1.log") - $(grep -c '^gone ' "$1.log")))
}
# Clients of the reading companion (tests/e2e/companion_client), recording
# into `name`.log; their pids gather in COMPANION_PIDS.
KX_COMPANION_CLIENT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/companion_client/companion_client.py
KX_COMPANION_BROWSER=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/companion_browser.py
COMPANION_PIDS=()
companion_client() { # name port path [client options...]
  local name=$1 port=$2 path=$3
  shift 3
  python3 "$KX_COMPANION_CLIENT" --port "$port" --path "$path" --out "$PWD/$name.log" --lifetime 60 "$@" &
  COMPANION_PIDS+=($!)
}
companion_clients_stop() {
  local pid
  for pid in "${COMPANION_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  COMPANION_PIDS=()
}
# The messages client `n` of `name`.log got, one a line, as sent.
companion_messages() { # name [n]
  python3 -c 'import json,sys
for line in open(sys.argv[1], encoding="utf-8"):
    n, _, rest = line.rstrip("\n").partition(" ")
    if n == sys.argv[2]:
        print(json.loads(rest).replace("\r\n", "\\r\\n"))' "$1.log" "${2:-1}"
}

# A port nothing listens on (for a moment).
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The user message of a recorded request, and the request's headers.
chat_request_text() { python3 -c 'import json,sys; print(json.loads(open(sys.argv[1],"rb").read().decode("utf-8"))["messages"][-1]["content"], end="")' "$1"; }
# True when a recorded request is a streamed one of 512 tokens at most with
# exactly a system message and the user's; says what differs otherwise.
chat_request_is() { # body-file system-text user-text
  python3 - "$@" <<'EOF'
import json, sys
request = json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))
want = [{"role": "system", "content": sys.argv[2]}, {"role": "user", "content": sys.argv[3]}]
if request.get("messages") != want or request.get("stream") is not True or request.get("max_tokens") != 512:
    print("      sent: " + json.dumps(request, ensure_ascii=False))
    print("      want: " + json.dumps(want, ensure_ascii=False))
    sys.exit(1)
EOF
}
chat_request_header() { python3 -c 'import json,sys; v=json.load(open(sys.argv[1]))[sys.argv[2]]; print("" if v is None else v, end="")' "$1" "$2"; }

# Waits until a child of a window shows exactly `text`.
wait_child_text() { # window-args... -- id text timeout-ms
  local args=() id text timeout t0
  while [[ $1 != -- ]]; do args+=("$1"); shift; done
  shift
  id=$1 text=$2 timeout=$3
  t0=$(date +%s%N)
  while (( ($(date +%s%N) - t0) / 1000000 < timeout )); do
    drv window-text "${args[@]}" 2000 | sed 's/^child class=[^ ]* //' | grep -qxF -- "id=$id text=$text" && return 0
    sleep 0.2
  done
  echo "    child $id never showed '$text'; it shows:"
  drv window-text "${args[@]}" 2000 | grep "id=$id " | sed 's/^/    /'
  return 1
}
