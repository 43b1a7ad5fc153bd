#!/usr/bin/env bash
# End-to-end tests: the real KestruneEX.exe, started under Wine and Xvfb in a
# scratch folder per scenario, driven from outside as a user would (clipboard
# text in, keys through the X server, menu commands, window close) by our own
# driver (tests/e2e/driver), and checked through what a user sees: the log
# view's text, the windows, the INI file written at exit, screenshots.
#
#   tests/e2e/run-e2e.sh [build-dir]          build-dir defaults to build/win32
#
# Environment:
#   WINEPREFIX          reused when set and booted (its wineserver is restarted
#                       first and stopped at the end); otherwise a scratch
#                       prefix is booted and removed afterwards
#   KX_E2E_OUT          folder for the scenario folders (default: a new
#                       temporary folder, kept and printed when a scenario fails)
#   KX_E2E_SCREENSHOTS  also copy screenshot-normal.png, screenshot-subtitle.png
#                       screenshot-settings.png, screenshot-agth-helper.png and
#                       screenshot-text-filters.png, screenshot-server-settings.png,
#                       screenshot-game-profile.png
#                       into this folder (e.g. docs)
#   KX_E2E_ONLY         space-separated scenario names to run (default: all)
#   KX_E2E_JOBS         runs the scenarios in this many shards at once, each
#                       with its own Xvfb display and Wine prefix (so its own
#                       clipboard, focus and hotkeys); default 1
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/lib.sh"

all_scenarios=(startup_with_engine startup_without_engine captures agth_helper_modal monitoring_toggle translation_and_flood
  replace_mode second_instance ini_written_at_exit subtitle_mode viewer_chain endsession_saves endsession_failed_save screenshots
  advanced_settings advanced_settings_alpha_zero agth_attach agth_without_path agth_shortcut_run
  agth_shortcut_faults text_filters_dialog capture_bursts slow_engine unicode_text text_cleaning
  high_dpi hotkeys_global hotkeys_click_through hotkeys_taken_and_changed
  translation_server translation_server_slow server_streaming server_settings_dialog
  server_redirect server_key_not_in_clear server_trickling server_done_held server_endless many_substitution_keys
  log_view_big_and_copy subtitle_stays_on_top subtitle_strip_look hung_engine
  always_on_top_at_start
  websocket_source websocket_reconnect websocket_exit_flood websocket_settings_dialog
  websocket_turned_away websocket_close_unanswered websocket_url_user_info game_profiles
  engine_draft_replaced engine_keep_draft engine_fallback engine_deepl engine_papago game_memory memory_correction
  memory_hotkeys companion_feeds companion_sources companion_page)
selected=(${KX_E2E_ONLY:-${all_scenarios[@]}})

# Deals the scenarios out to KX_E2E_JOBS shards in turn, runs each shard as
# a run of its own, then prints their reports one after the other and the
# totals. The first shard uses WINEPREFIX when given; the others boot their
# own prefix.
run_shards() { # build-dir...
  local jobs=$1 out number=99 i
  shift
  out=${KX_E2E_OUT:-$(mktemp -d /tmp/kx-e2e.XXXXXX)}
  mkdir -p "$out"
  local lists=() pids=()
  for i in "${!selected[@]}"; do
    lists[i % jobs]+="${selected[i]} "
  done
  for i in "${!lists[@]}"; do
    # A display number no X server holds; xvfb-run -a would race for one.
    while [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]]; do number=$((number + 1)); done
    (
      ((i == 0)) || unset WINEPREFIX
      exec env KX_E2E_JOBS=1 KX_E2E_DISPLAY=$number KX_E2E_ONLY="${lists[i]}" KX_E2E_OUT="$out" \
        "$0" "$@" >"$out/shard-$((i + 1)).txt" 2>&1
    ) &
    pids+=($!)
    number=$((number + 1))
  done
  local rc=0 passed=0 failed=0 names=() report counts
  for i in "${!pids[@]}"; do
    wait "${pids[i]}" || rc=1
    report=$out/shard-$((i + 1)).txt
    echo "== shard $((i + 1)) of ${#pids[@]}"
    cat "$report"
    # "<passed> <failed>" from the shard's last count line
    counts=($(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$report" | tail -n 1))
    passed=$((passed + ${counts[0]:-0}))
    failed=$((failed + ${counts[1]:-0}))
    names+=($(sed -n 's/^failed: //p' "$report"))
  done
  echo "end-to-end: $((SECONDS - started)) s in all, in ${#pids[@]} shards; scenario folders in $out"
  echo "$passed passed, $failed failed"
  if ((rc || failed)); then
    ((${#names[@]})) && echo "failed: ${names[*]}"
    return 1
  fi
  [[ -n ${KX_E2E_OUT:-} ]] || rm -rf "$out"
}

started=$SECONDS
jobs=${KX_E2E_JOBS:-1}
((jobs > ${#selected[@]})) && jobs=${#selected[@]}
if ((jobs > 1)); then
  run_shards "$jobs" "$@"
  exit $?
fi

if [[ -z ${KX_E2E_IN_XVFB:-} ]]; then
  export KX_E2E_IN_XVFB=1
  display=(-a)
  [[ -n ${KX_E2E_DISPLAY:-} ]] && display=(-n "$KX_E2E_DISPLAY")
  exec xvfb-run "${display[@]}" -s '-screen 0 1280x1024x24' "$0" "$@"
fi

build=$(cd "${1:-$KX_ROOT/build/win32}" && pwd) || exit 2
KX_EXE=$build/bin/KestruneEX.exe
KX_ENGINE=$build/engine/J2KEngine.dll
KX_DRIVER=$build/tests/e2e/kx_e2e_driver.exe
KX_FAKE_AGTH=$build/tests/e2e/agth.exe
KX_CHAT_SERVER=$here/chat_server/chat_server.py
for f in "$KX_EXE" "$KX_ENGINE" "$KX_DRIVER" "$KX_FAKE_AGTH"; do
  [[ -f $f ]] || { echo "missing $f (build the win32 preset with KX_BUILD_TESTS=ON)"; exit 2; }
done
source "$here/lib-e2e.sh"

out=${KX_E2E_OUT:-$(mktemp -d /tmp/kx-e2e.XXXXXX)}
mkdir -p "$out"
out=$(cd "$out" && pwd)

own_prefix=0
if [[ -n ${WINEPREFIX:-} && -f $WINEPREFIX/system.reg ]]; then
  kx_wine_prefix "$WINEPREFIX"
  wineserver -k >/dev/null 2>&1 || true   # nothing of an earlier display or run survives
  wineserver -w >/dev/null 2>&1 || true
else
  own_prefix=1
  kx_wine_prefix "$(mktemp -d /tmp/kx-e2e-prefix.XXXXXX)"
fi
finish() {
  wineserver -k >/dev/null 2>&1 || true
  ((own_prefix)) && rm -rf "$WINEPREFIX"
}
trap finish EXIT

kx_log "end-to-end: prefix $WINEPREFIX, display $DISPLAY, scenarios under $out"
kx_wine_cjk_font_link
kx_register_engine "$KX_ENGINE"
# One server for the whole run: later starts take a fraction of a second.
wineserver -p >/dev/null 2>&1

engine_key='HKCU\Software\ChangShin\ezTrans'
x11_driver_key='HKCU\Software\Wine\X11 Driver'
unregister_engine() { wine reg delete "$engine_key" /f >/dev/null 2>&1; }
register_engine() { wine reg add "$engine_key" /v FilePath /t REG_SZ /d 'C:\ezTrans' /f >/dev/null 2>&1; }

# Ends whatever a scenario left running (its EXIT trap).
scenario_cleanup() {
  set +e
  if [[ -n ${VIEWER_PID:-} ]]; then
    drv close-window --exact kx-e2e-clipboard-viewer >/dev/null 2>&1
    wait "$VIEWER_PID" 2>/dev/null
  fi
  if drv pid >/dev/null 2>&1; then
    echo "  (cleanup: the program was still running; terminated)"
    drv terminate >/dev/null 2>&1
  fi
  [[ -n ${APP_PID:-} ]] && wait "$APP_PID" 2>/dev/null
  [[ -n ${OTHER_PID:-} ]] && { kill -9 "$OTHER_PID" 2>/dev/null; wait "$OTHER_PID" 2>/dev/null; }
  [[ -n ${DPI_CHANGED:-} ]] && set_dpi 96
  [[ -n ${UNMANAGED:-} ]] && wine reg delete "$x11_driver_key" /v Managed /f >/dev/null 2>&1
  chat_server_stop
  ws_server_stop
  companion_clients_stop
  return 0
}

# The prefix's dots per inch (LogPixels), read by each program as it starts;
# the server is restarted so that nothing started before keeps the old value.
set_dpi() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p >/dev/null 2>&1
}

# ---------------------------------------------------------------------------
# Scenarios. Each runs in its own folder with a fresh copy of the exe, in a
# subshell with errexit: the first failed check ends it.

# The main window's title and the start-up lines with the stand-in engine.
scenario_startup_with_engine() {
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  expect "main window titled '$KX_TITLE'" app_ready
  expect_eq "one main window" "$(drv count-windows --hidden --class $KX_MAIN_CLASS)" "count=1"
  local lines
  mapfile -t lines < <(log_lines)
  printf '    | %s\n' "${lines[@]}"
  expect_eq "three start-up lines" "${#lines[@]}" 3
  [[ ${lines[0]} == "$KX_TITLE Created by "?* ]] || { echo "  FAILED: line 1 is the title + ' Created by ...'"; return 1; }
  [[ ${lines[1]} == "Official site : "?* ]] || { echo "  FAILED: line 2 is 'Official site : ...'"; return 1; }
  expect_eq "line 3" "${lines[2]}" "Initialize the Translation Engine ..... Success"
  expect "no closing line break" [ "$(log_oneline | tail -c 5)" != '\r\n' ]
  expect_eq "no error box" "$(drv count-windows --exact --class '#32770' Error)" "count=0"
  expect "closes with exit code 0" app_close
}

# No engine registered: the error line and box, and Translation greyed.
scenario_startup_without_engine() {
  unregister_engine
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  local box
  box=$(drv window-text --exact --class '#32770' Error 30000) || { echo "  FAILED: no error box"; return 1; }
  echo "$box" | sed 's/^/    /'
  expect "the error box tells the registry error" \
    grep -q 'text=Translation Engine failed to initialize : Registry Error$' <<<"$box"
  # Texts read while the box is open are not translated: the engine has failed.
  clip 'ab'
  sleep 0.3
  clip "$(sjis かきく)"
  sleep 0.3
  drv click-button --exact --class '#32770' Error OK 5000 >/dev/null
  expect "main window after the box" app_ready
  expect_eq "the box is shown once" "$(drv count-windows --exact --class '#32770' Error)" "count=0"
  local log
  log=$(log_oneline)
  expect_eq "the start-up line, then the texts read meanwhile, untranslated" "${log#*Official site*\\r\\n}" \
    "Translation Engine failed to initialize : Registry Error\\r\\nab\\r\\nかきく"
  [[ $log != *Success* ]] || { echo "  FAILED: no success line"; return 1; }
  # Translation is on in the settings, but greyed: neither the command nor F6
  # turns it on or off, and captures stay untranslated.
  drv command $KX_CMD_TRANSLATION >/dev/null
  clip "$(sjis こんにちは)"
  expect "capture after command ${ID_OPTIONS_TRANSLATION} untranslated" drv wait-log-ends-with "$(esc $'\r\nこんにちは')" 5000
  keys F6
  clip "$(sjis さようなら)"
  expect "capture after F6 untranslated" drv wait-log-ends-with "$(esc $'\r\nさようなら')" 5000
  keys F6
  expect "nothing transcribed" drv log-lacks "$(esc 콘니치하)"
  expect "closes with exit code 0" app_close
  # Three toggles of an enabled item would have saved 0.
  expect_eq "Translation check mark saved unchanged" "$(ini_get KestruneEX.ini MainMenu Translation)" "1"
}

# Plain text, Shift-JIS text and both hex methods, with translation off (F6).
scenario_captures() {
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  app_ready
  keys F6
  clip 'Hello, plain ASCII text 123!'
  expect "plain text, as a new line" drv wait-log-ends-with "$(esc $'Success\r\nHello, plain ASCII text 123!')" 5000
  clip "$(sjis こんにちは、世界)"
  expect "Shift-JIS text" drv wait-log-ends-with "$(esc $'\r\nこんにちは、世界')" 5000
  clip 'two\r\nlines\r\n\r\nkept'
  expect "ascii: a single line break kept, a double one removed" \
    drv wait-log-ends-with "$(esc $'\r\ntwo\r\nlineskept')" 5000
  keys ctrl+2
  clip '82A0 82A2 '
  expect "Ctrl+2 then '82A0 82A2 ' gives あい" drv wait-log-ends-with "$(esc $'\r\nあい')" 5000
  clip '82A4 \r\n82A6 '
  expect "line breaks between groups are removed" drv wait-log-ends-with "$(esc $'\r\nあい\r\nうえ')" 5000
  clip '82A0 82A2'
  clip '82a8 '
  expect "a text without its last space is dropped; lower-case digits work" \
    drv wait-log-ends-with "$(esc $'\r\nうえ\r\nお')" 5000
  keys ctrl+3
  clip 'A082 A282 '
  expect "Ctrl+3 then 'A082 A282 ' gives あい" drv wait-log-ends-with "$(esc $'\r\nお\r\nあい')" 5000
  drv command $KX_CMD_ASCII >/dev/null
  clip '82A0 '
  expect "back to ascii (command ${ID_METHOD_ASCII}): hex text shown as it is" drv wait-log-ends-with "$(esc $'\r\nあい\r\n82A0 ')" 5000
  expect "closes with exit code 0" app_close
}

# F4 opens the AGTH helper modally; after it closes the main window is active
# again and takes keys.
scenario_agth_helper_modal() {
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  app_ready
  xdotool windowfocus --sync "$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)"
  xdotool key F4
  expect "F4 opens the AGTH helper" drv wait-window --exact --class '#32770' 'AGTH helper' 10000
  expect_fields "the main window waits (disabled)" "$(drv window-info)" enabled=0
  drv click-button --exact --class '#32770' 'AGTH helper' Close 5000 >/dev/null
  expect "Close hides it" drv wait-window-gone --exact --class '#32770' 'AGTH helper' 5000
  expect_fields "the main window is enabled again" "$(drv window-info)" enabled=1
  local main focus
  main=$(drv focus-info)
  echo "  $main"
  main=${main%% *}
  expect_fields "the main window is active and has the focus again" "$(drv focus-info)" \
    "active=${main#main=}" "focus=${main#main=}" "foreground=${main#main=}"
  expect "keys reach it (F4 again)" keys
  expect "closes with exit code 0" app_close
}

# F5 switches monitoring off and on; the command does the same.
scenario_monitoring_toggle() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  clip 'captured while on'
  drv wait-log-ends-with "$(esc $'\r\ncaptured while on')" 5000 >/dev/null
  keys F5
  clip 'copied while off (F5)'
  keys F5
  clip 'captured after F5 again'
  expect "capture resumes after the second F5" drv wait-log-ends-with "$(esc $'on\r\ncaptured after F5 again')" 5000
  expect "nothing captured while off" drv log-lacks "copied while off"
  drv command $KX_CMD_MONITORING >/dev/null
  clip 'copied while off (command)'
  drv command $KX_CMD_MONITORING >/dev/null
  clip 'same text twice'
  clip 'same text twice'
  expect "capture resumes after command ${ID_OPTIONS_MONITORING} twice; repeats are kept" \
    drv wait-log-ends-with "$(esc $'again\r\nsame text twice\r\nsame text twice')" 5000
  expect "nothing captured while off (command)" drv log-lacks "copied while off"
  expect "closes with exit code 0" app_close
}

# Translation through the stand-in engine, F6, flood trimming.
scenario_translation_and_flood() {
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  app_ready
  clip "$(sjis こんにちは)"
  expect "こんにちは translated (transcribed) to 콘니치하" drv wait-log-ends-with "$(esc $'Success\r\n콘니치하')" 5000
  keys F6
  clip "$(sjis こんにちは)"
  expect "F6: translation off" drv wait-log-ends-with "$(esc $'\r\n콘니치하\r\nこんにちは')" 5000
  keys F6 ctrl+2
  clip '82A0 82A2 '
  expect "F6 again: hex text translated, 아이" drv wait-log-ends-with "$(esc $'\r\nこんにちは\r\n아이')" 5000
  drv command $KX_CMD_ASCII >/dev/null
  local kana5=あいうえお hangul5=아이우에오 kana200='' head='' tail='' i
  for i in $(seq 40); do kana200+=$kana5; done
  for i in $(seq 10); do head+=$kana5; done
  head+=あ
  tail=이우에오
  for i in $(seq 29); do tail+=$hangul5; done
  clip "$(sjis "$kana200")"
  expect "200 letters: the first 51 untranslated, then the last 150 translated" \
    drv wait-log-ends-with "$(esc $'아이\r\n'"$head"$'\r\n'"$tail")" 5000
  local kana149='' hangul149=''
  for i in $(seq 29); do kana149+=$kana5; hangul149+=$hangul5; done
  kana149+=あいうえ
  hangul149+=아이우에
  clip "$(sjis "$kana149")"
  expect "149 letters: not trimmed" drv wait-log-ends-with "$(esc $'\r\n'"$tail"$'\r\n'"$hangul149")" 5000
  expect "closes with exit code 0" app_close
}

# [Setting] uot=1: every text replaces the log.
scenario_replace_mode() {
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'uot=1'
  app_start
  app_ready
  clip 'first text'
  drv wait-log-equals 'first text' 5000 >/dev/null
  clip 'second text'
  clip 'third text'
  expect "only the last text remains" drv wait-log-equals 'third text' 5000
  expect "closes with exit code 0" app_close
  expect_eq "uot saved" "$(ini_get KestruneEX.ini Setting uot)" "1"
}

# A second start exits at once with 0 and leaves the first alone.
scenario_second_instance() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  clip 'first instance text'
  drv wait-log-ends-with 'first instance text' 5000 >/dev/null
  local before rc=0
  before=$(log_oneline)
  mkdir -p other && cp KestruneEX.exe other/
  (cd other && timeout 30 wine KestruneEX.exe) || rc=$?
  expect_eq "second instance (other folder, no INI: would show the AGTH helper) exit code" "$rc" 0
  expect "the second instance wrote no INI" [ ! -e other/KestruneEX.ini ]
  rc=0
  timeout 30 wine KestruneEX.exe || rc=$?
  expect_eq "second instance (same folder) exit code" "$rc" 0
  expect_eq "still one main window" "$(drv count-windows --hidden --class $KX_MAIN_CLASS)" "count=1"
  expect_eq "first instance's log untouched" "$(log_oneline)" "$before"
  clip 'first instance still captures'
  expect "first instance still captures" drv wait-log-ends-with "$(esc $'text\r\nfirst instance still captures')" 5000
  expect "closes with exit code 0" app_close
  # Three starts at the same moment: one runs, the others end at once.
  local pids=() pid
  for pid in 1 2 3; do
    (exec wine KestruneEX.exe >>app.out 2>&1) &
    pids+=($!)
  done
  app_ready
  sleep 1
  expect_eq "one main window of three starts at once" "$(drv count-windows --hidden --class $KX_MAIN_CLASS)" "count=1"
  drv close 15000 >/dev/null
  rc=0
  for pid in "${pids[@]}"; do wait "$pid" || rc=$?; done
  expect_eq "all three ended with exit code 0" "$rc" 0
}

# The INI written at exit holds every key, the values changed in the run, and
# keeps what it does not know.
scenario_ini_written_at_exit() {
  write_ini '[Agth]' 'AgthATrun=0' '[Custom]' 'keep=me'
  app_start
  app_ready
  drv move-window --exact "$KX_TITLE" 150 120 700 300 >/dev/null
  # keys opens and closes the AGTH helper, which stores its (empty) option
  # history as ten empty slots.
  keys F6
  drv command $KX_CMD_ALWAYSONTOP >/dev/null
  expect "closes with exit code 0" app_close
  echo "  INI: $(wc -l <KestruneEX.ini) lines"
  expect "every section holds all its keys" ini_check_complete KestruneEX.ini
  local kv k v
  for kv in Setting.Ancete=0 Setting.uot=0 Setting.Codepage=932 Setting.Flood=150 Setting.FloodChk=1 \
    Setting.TBgColor=clWindow Setting.TMainFont=Tahoma,clWindowText,8,d, \
    WindowsPos.MainLeft=150 WindowsPos.MainTop=120 WindowsPos.MainWidth=700 WindowsPos.MainHeight=300 \
    WindowsTransparent.MainABV=255 MainMenu.Translation=0 MainMenu.Aot=1 \
    Agth.AgthATrun=0 Agth.Agthpath= Agth.AgthAToption=,,,,,,,,, AgthSM0.GName= AgthSM99.GTMethod= Custom.keep=me; do
    k=${kv%%=*}
    v=${kv#*=}
    expect_eq "$k" "$(ini_get KestruneEX.ini "${k%%.*}" "${k#*.}")" "$v"
  done
}

# A settings file with Aot=1: the window is top-most from the start and stays so.
scenario_always_on_top_at_start() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Aot=1'
  app_start
  app_ready
  sleep 2
  expect_fields "top-most two seconds after start" "$(drv window-info)" topmost=1
  expect "closes with exit code 0" app_close
  expect_eq "Aot kept" "$(ini_get KestruneEX.ini MainMenu Aot)" 1
}

# Subtitle mode entered and left with the context-menu command.
scenario_subtitle_mode() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  local info
  info=$(drv window-info)
  echo "  normal:   $info"
  expect_fields "normal frame" "$info" caption=1 thickframe=1 popup=0 topmost=0 menu=1 \
    logview=0,0,632,154 logview-clientedge=1
  drv command $KX_CMD_SUBTITLE >/dev/null
  info=$(drv window-info)
  echo "  subtitle: $info"
  expect_fields "subtitle frame: no caption or border, no menu, same outer bounds" "$info" \
    caption=0 thickframe=0 popup=1 menu=0 rect=100,100,640,200 client=640,200
  expect_fields "subtitle: log view 2 pixels inside, borderless" "$info" logview=2,2,636,196 logview-clientedge=0
  expect_fields "subtitle: top-most" "$info" topmost=1
  clip 'subtitle one'
  clip 'subtitle two'
  expect "subtitle mode replaces the text" drv wait-log-equals 'subtitle two' 5000
  drv command $KX_CMD_SUBTITLE >/dev/null
  info=$(drv window-info)
  echo "  normal:   $info"
  expect_fields "back to the normal frame" "$info" caption=1 thickframe=1 popup=0 topmost=0 menu=1 \
    rect=100,100,640,200 logview=0,0,632,154 logview-clientedge=1
  clip 'after subtitle mode'
  expect "appending again" drv wait-log-equals "$(esc $'subtitle two\r\nafter subtitle mode')" 5000
  expect "closes with exit code 0" app_close
  expect_eq "uot saved as 0" "$(ini_get KestruneEX.ini Setting uot)" "0"
  expect_eq "Aot saved as 0" "$(ini_get KestruneEX.ini MainMenu Aot)" "0"
}

# A clipboard viewer after the program still gets every change, also after a
# malformed hex text (error box) and with monitoring off.
scenario_viewer_chain() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  (exec wine "$KX_DRIVER" clip-viewer viewer.txt 120000 >viewer.out 2>&1) &
  VIEWER_PID=$!
  wait_file_line viewer.txt '^joined' 20
  app_start
  app_ready
  drv command $KX_CMD_HEXSEQ >/dev/null
  clip '82A0 82A2 '
  drv wait-log-ends-with "$(esc $'\r\nあい')" 5000 >/dev/null
  expect "viewer got the first change" wait_file_line viewer.txt '^draw [0-9]+ text=82A0 82A2 $' 5
  local before box
  before=$(log_oneline)
  clip '82G0 '
  box=$(drv window-text --exact --class '#32770' 'KestruneEX!' 10000) || { echo "  FAILED: no error box"; return 1; }
  echo "$box" | sed 's/^/    /'
  expect "error box tells the bad pair" grep -qF "text='\$G0' is not a valid integer value." <<<"$box"
  expect "viewer got the malformed change" wait_file_line viewer.txt '^draw [0-9]+ text=82G0 $' 5
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  drv wait-window-gone --exact --class '#32770' 'KestruneEX!' 5000 >/dev/null
  expect_eq "nothing of the malformed text appended" "$(log_oneline)" "$before"
  clip '82A4 '
  expect "capture goes on" drv wait-log-ends-with "$(esc $'\r\nあい\r\nう')" 5000
  expect "viewer got the next change" wait_file_line viewer.txt '^draw [0-9]+ text=82A4 $' 5
  # Bad texts while the box is open: one box at a time, the latest once
  # after it, and every change still passed on.
  clip '82G1 '
  drv wait-window --exact --class '#32770' 'KestruneEX!' 10000 >/dev/null
  clip '82G2 '
  clip '82G3 '
  expect "viewer got the changes made while the box is open" wait_file_line viewer.txt '^draw [0-9]+ text=82G3 $' 5
  sleep 0.5
  expect_eq "one box open" "$(drv count-windows --exact --class '#32770' 'KestruneEX!')" "count=1"
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  box=$(drv window-text --exact --class '#32770' 'KestruneEX!' 10000) || { echo "  FAILED: no second box"; return 1; }
  expect "then the latest error" grep -qF "text='\$G3' is not a valid integer value." <<<"$box"
  expect_eq "still one box" "$(drv count-windows --exact --class '#32770' 'KestruneEX!')" "count=1"
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  sleep 0.5
  expect_eq "no box left" "$(drv count-windows --exact --class '#32770' 'KestruneEX!')" "count=0"
  drv command $KX_CMD_MONITORING >/dev/null
  clip '82A8 '
  expect "viewer got a change made with monitoring off" wait_file_line viewer.txt '^draw [0-9]+ text=82A8 $' 5
  drv command $KX_CMD_MONITORING >/dev/null
  clip '82A6 '
  expect "monitoring on again" drv wait-log-ends-with "$(esc $'\r\nう\r\nえ')" 5000
  expect "viewer got it" wait_file_line viewer.txt '^draw [0-9]+ text=82A6 $' 5
  expect "closes with exit code 0" app_close
  clip 'after the program left'
  expect "viewer still in the chain after the program left it" \
    wait_file_line viewer.txt '^draw [0-9]+ text=after the program left$' 5
  drv close-window --exact kx-e2e-clipboard-viewer >/dev/null
  wait "$VIEWER_PID"
  VIEWER_PID=
  local t
  for t in '82A0 82A2 ' '82G0 ' '82A4 ' '82G1 ' '82G2 ' '82G3 ' '82A8 ' '82A6 ' 'after the program left'; do
    expect_eq "viewer saw '$t' once" "$(grep -c "^draw [0-9]* text=$t\$" viewer.txt)" 1
  done
}

# Settings saved when the session ends, though the process is then killed.
scenario_endsession_saves() {
  app_start
  expect "the AGTH helper opens at start-up without an INI" \
    drv wait-window --exact --class '#32770' 'AGTH helper' 30000
  drv click-button --exact --class '#32770' 'AGTH helper' Close 5000 >/dev/null
  app_ready
  expect "keys reach the main window after the helper closed" keys F6
  drv command $KX_CMD_ALWAYSONTOP >/dev/null
  expect "no INI before the session ends" [ ! -e KestruneEX.ini ]
  local answer
  answer=$(drv send-endsession)
  expect_eq "WM_QUERYENDSESSION answered TRUE" "$answer" "queryendsession=1 endsession=sent"
  local killed
  killed=$(drv terminate)
  expect "killed hard (exit code 99 from TerminateProcess)" grep -q 'exit-code=99$' <<<"$killed"
  wait "$APP_PID" || true
  APP_PID=
  expect "INI written" [ -s KestruneEX.ini ]
  expect "every section holds all its keys" ini_check_complete KestruneEX.ini
  local order want
  order=$(ini_dump KestruneEX.ini | grep '^\[' | paste -sd ' ')
  want="[Setting] [WindowsPos] [WindowsTransparent] [MainMenu] [Agth] $(for n in $(seq 0 99); do printf '[AgthSM%d] ' "$n"; done)[Filters] [Hotkeys] [Engine] [Subtitle] [Capture] [Profile] [DeepL] [Papago] [Companion]"
  expect_eq "sections in order" "$order" "$want"
  expect_eq "Translation changed" "$(ini_get KestruneEX.ini MainMenu Translation)" 0
  expect_eq "Aot changed" "$(ini_get KestruneEX.ini MainMenu Aot)" 1
  expect_eq "AgthATrun default" "$(ini_get KestruneEX.ini Agth AgthATrun)" 1
}

# A session end whose save fails tells it once: WM_QUERYENDSESSION saves and
# WM_ENDSESSION destroys, and the destroy must not save (and fail) again.
scenario_endsession_failed_save() {
  mkdir KestruneEX.ini   # a folder where the settings file belongs: no save can succeed
  app_start
  drv wait-window --exact --class '#32770' 'AGTH helper' 30000 >/dev/null
  drv click-button --exact --class '#32770' 'AGTH helper' Close 5000 >/dev/null
  app_ready
  drv send-endsession >endsession.out 2>&1 &
  local sender=$!
  expect "the failed save is told" drv wait-window --exact --class '#32770' 'KestruneEX!' 10000
  expect_eq "its text" "$(drv window-text --exact --class '#32770' 'KestruneEX!' 5000 | tr -d '\r' | grep -c 'Unable to write to .*KestruneEX.ini\.')" 1
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  expect "WM_ENDSESSION answered without a second box" wait "$sender"
  expect_eq "both messages answered" "$(cat endsession.out)" "queryendsession=1 endsession=sent"
  expect_eq "no second box" "$(drv count-windows --exact --class '#32770' 'KestruneEX!')" "count=0"
  drv terminate >/dev/null
  wait "$APP_PID" || true
  APP_PID=
}

# Screenshots: the normal window with a few lines, and subtitle mode over
# another window.
scenario_screenshots() {
  write_ini '[Agth]' 'AgthATrun=0' '[WindowsPos]' 'MainLeft=40' 'MainTop=40' 'MainWidth=640' 'MainHeight=230'
  # Another program's window for the subtitle strip to lie over.
  (exec wine notepad >notepad.out 2>&1) &
  OTHER_PID=$!
  drv wait-window Notepad 30000 >/dev/null
  drv move-window Notepad 40 330 700 420 >/dev/null
  drv set-child-text Notepad Edit "$(esc $'(a game window)\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n    ...the game draws its text down here...')" >/dev/null
  app_start
  app_ready
  clip 'Hello from the KestruneEX! end-to-end test.'
  clip "$(sjis こんにちは)"
  drv command $KX_CMD_HEXSEQ >/dev/null
  clip '82B3 82E6 82A4 82C8 82E7 '
  drv command $KX_CMD_TRANSLATION >/dev/null
  drv command $KX_CMD_ASCII >/dev/null
  clip "$(sjis 日本語のテキスト（翻訳なし）)"
  expect "lines in the log" drv wait-log-ends-with "$(esc $'Hello from the KestruneEX! end-to-end test.\r\n콘니치하\r\n사요우나라\r\n日本語のテキスト（翻訳なし）')" 5000
  local rect x y w h
  rect=$(drv window-info | grep -o 'rect=[^ ]*')
  IFS=, read -r x y w h <<<"${rect#rect=}"
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-normal.png
  expect "normal screenshot written" [ -s screenshot-normal.png ]
  expect "closes with exit code 0" app_close
  # The subtitle strip as a reader would set it up: white bold text on black,
  # through the settings file.
  sed -i -e 's/^TBgColor=.*/TBgColor=clBlack\r/' -e 's/^TMainFont=.*/TMainFont=Tahoma,clWhite,11,d,b\r/' \
    -e 's/^MainLeft=.*/MainLeft=80\r/' -e 's/^MainTop=.*/MainTop=630\r/' \
    -e 's/^MainWidth=.*/MainWidth=620\r/' -e 's/^MainHeight=.*/MainHeight=64\r/' -e 's/^Translation=.*/Translation=1\r/' KestruneEX.ini
  app_start
  app_ready
  drv command $KX_CMD_SUBTITLE >/dev/null
  clip "$(sjis ありがとうございます。また明日。)"
  expect "subtitle line" drv wait-log-equals "$(esc 아리가토우고자이마스。마타明日。)" 5000
  import -window root -crop 740x460+20+310 +repage -strip screenshot-subtitle.png
  expect "subtitle screenshot written" [ -s screenshot-subtitle.png ]
  expect "closes with exit code 0" app_close
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-normal.png screenshot-subtitle.png "$KX_E2E_SCREENSHOTS"/
    echo "  screenshots copied to $KX_E2E_SCREENSHOTS"
  fi
}

# The advanced settings dialog: opened 50 pixels above the main window, its
# choices taken over by OK (replace mode, HANGUL, letter count) and written at
# exit; an empty letter count refused; transparency live and undone by Cancel;
# the subtitle letters' outline colour (through the colour dialog), width and
# shadow kept after OK and put back by Cancel.
scenario_advanced_settings() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' \
    '[WindowsPos]' 'MainLeft=120' 'MainTop=200' 'MainWidth=640' 'MainHeight=230'
  app_start
  app_ready
  local dlg=(--exact --class '#32770' 'Advanced Setting') info text
  drv post-command $KX_CMD_ADVANCED >/dev/null
  expect "Advanced Setting opens" drv wait-window "${dlg[@]}" 10000
  info=$(drv window-info "${dlg[@]}")
  echo "  dialog: $info"
  expect_fields "50 pixels right of and above the main window; client area 416 x 275" "$info" \
    visible=1 client=416,275
  [[ $info == *" rect=170,150,"* ]] || { echo "  FAILED: dialog not at 170,150"; return 1; }
  expect_fields "the main window waits (disabled)" "$(drv window-info)" enabled=0
  text=$(drv window-text "${dlg[@]}" 5000)
  echo "$text" | sed 's/^/    /'
  local want
  for want in "id=${IDC_SETTINGS_BUTTON1} text=Cancel" "id=${IDC_SETTINGS_BUTTON2} text=OK" \
    "id=${IDC_SETTINGS_CHECKBOX1} check=0 text=Add a newline character to the every translation event" \
    "id=${IDC_SETTINGS_CHECKBOX2} check=0 text=Update original text" "id=${IDC_SETTINGS_CSCOMBOBOX} sel=0 text=SHIFTJIS" "id=${IDC_SETTINGS_TRACKBAR1} pos=0 text=" \
    "id=${IDC_SETTINGS_BUTTON3} text=Change background color" "id=${IDC_SETTINGS_CHECKBOX3} check=1 text=Clipboard flood detection" "id=${IDC_SETTINGS_EDIT1} text=150" \
    "id=${IDC_SETTINGS_LABEL1} text=Character Set" "id=${IDC_SETTINGS_LABEL2} text=Level of transparency : " "id=${IDC_SETTINGS_TVALUE} text=0%" \
    "id=${IDC_SETTINGS_OFF} text=OFF" "id=${IDC_SETTINGS_LABEL4} text=Low" "id=${IDC_SETTINGS_LABEL3} text=High" "id=${IDC_SETTINGS_LABEL5} text=letters" \
    "id=${IDC_SETTINGS_LOOKGROUP} text=Subtitle letters" "id=${IDC_SETTINGS_OUTLINECOLOR} text=Outline colour.." "id=${IDC_SETTINGS_OUTLINESWATCH} text=" \
    "id=${IDC_SETTINGS_WIDTHLABEL} text=Outline width" "id=${IDC_SETTINGS_OUTLINEWIDTH} text=2" "id=${IDC_SETTINGS_WIDTHUPDOWN} text=" \
    "id=${IDC_SETTINGS_PXLABEL} text=px" "id=${IDC_SETTINGS_SHADOW} check=1 text=Shadow" \
    "id=${IDC_SETTINGS_HISTORY} check=1 text=Keep each game's history (history.txt)"; do
    expect "control $want" grep -qxF -- "$want" <<<"$(sed 's/^child class=[^ ]* //' <<<"$text")"
  done
  local rect x y w h
  rect=$(grep -o 'rect=[^ ]*' <<<"$info")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  # Escape presses neither button.
  xdotool windowfocus --sync "$(xdotool search --name '^Advanced Setting$' | sed -n 1p)"
  xdotool key Escape
  sleep 0.3
  expect_fields "Escape leaves the dialog open" "$(drv window-info "${dlg[@]}")" visible=1

  # The subtitle letters: width and shadow, and a colour from the colour dialog.
  drv set-child-text "${dlg[@]}" "#${IDC_SETTINGS_OUTLINEWIDTH}" 5 >/dev/null
  drv click-button "${dlg[@]}" Shadow 5000 >/dev/null
  local colour=(--exact --class '#32770' Color) cx cy
  drv click-button --post "${dlg[@]}" 'Outline colour..' 5000 >/dev/null
  expect "the colour dialog opens" drv wait-window "${colour[@]}" 10000
  drv set-child-text "${colour[@]}" '#706' 200 >/dev/null
  drv set-child-text "${colour[@]}" '#707' 16 >/dev/null
  drv set-child-text "${colour[@]}" '#708' 32 >/dev/null
  drv click-button "${colour[@]}" OK 5000 >/dev/null
  expect "the colour dialog closes" drv wait-window-gone "${colour[@]}" 5000
  sleep 0.3
  read -r cx cy <<<"$(client_origin "$info")"
  expect_eq "the swatch shows the chosen colour" \
    "$(import -window root -crop "1x1+$((cx + 146))+$((cy + 244))" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}')" '#C81020'

  drv click-button "${dlg[@]}" 'Update original text' 5000 >/dev/null
  drv select-combo "${dlg[@]}" 1 >/dev/null
  drv set-child-text "${dlg[@]}" Edit '' >/dev/null
  sleep 0.5   # the frame and the new texts painted
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-settings.png
  expect "dialog screenshot written" [ -s screenshot-settings.png ]
  drv click-button "${dlg[@]}" OK 5000 >/dev/null
  local box
  box=$(drv window-text --exact --class '#32770' 'KestruneEX!' 10000) || { echo "  FAILED: no error box"; return 1; }
  echo "$box" | sed 's/^/    /'
  expect "the error box tells the empty letter count" grep -qF "text='' is not a valid integer value." <<<"$box"
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  drv wait-window-gone --exact --class '#32770' 'KestruneEX!' 5000 >/dev/null
  expect_fields "the dialog stays open" "$(drv window-info "${dlg[@]}")" visible=1
  drv set-child-text "${dlg[@]}" Edit 40 >/dev/null
  drv click-button "${dlg[@]}" OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect_fields "the main window is enabled again" "$(drv window-info)" enabled=1

  clip 'first text'
  clip "$(printf '%s' '안녕하세요' | iconv -f UTF-8 -t CP949 | od -An -v -tx1 | tr -d ' \n' | sed 's/\(..\)/\\x\1/g')"
  expect "replace mode, and HANGUL text read as code page 949" drv wait-log-equals "$(esc 안녕하세요)" 5000

  # Transparency takes effect at once; Cancel undoes it and applies nothing.
  drv post-command $KX_CMD_ADVANCED >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  text=$(drv window-text "${dlg[@]}" 5000)
  expect "reopened with the settings taken over" \
    grep -qF "id=${IDC_SETTINGS_CHECKBOX2} check=1 text=Update original text" <<<"$text"
  grep -qF "id=${IDC_SETTINGS_CSCOMBOBOX} sel=1 text=HANGUL" <<<"$text" && grep -qF "id=${IDC_SETTINGS_EDIT1} text=40" <<<"$text" ||
    { echo "  FAILED: HANGUL and 40 shown again"; return 1; }
  drv set-trackbar "${dlg[@]}" 128 >/dev/null
  expect_fields "track bar 128: the main window blends" "$(drv window-info)" layered=1
  expect "the percentage shows 50%" grep -qF "id=${IDC_SETTINGS_TVALUE} text=50%" <<<"$(drv window-text "${dlg[@]}" 5000)"
  drv click-button "${dlg[@]}" 'Update original text' 5000 >/dev/null
  drv click-button "${dlg[@]}" Cancel 5000 >/dev/null
  expect "Cancel closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect_fields "Cancel: opaque again" "$(drv window-info)" layered=0

  # The subtitle letters as OK left them; changed again, then Cancel.
  drv post-command $KX_CMD_ADVANCED >/dev/null
  text=$(drv window-text "${dlg[@]}" 10000)
  expect "reopened with outline width 5" grep -qxF "id=${IDC_SETTINGS_OUTLINEWIDTH} text=5" <<<"$(sed 's/^child class=[^ ]* //' <<<"$text")"
  expect "and the shadow off" grep -qxF "id=${IDC_SETTINGS_SHADOW} check=0 text=Shadow" <<<"$(sed 's/^child class=[^ ]* //' <<<"$text")"
  read -r cx cy <<<"$(client_origin "$(drv window-info "${dlg[@]}")")"
  xdotool mousemove $((cx + 292)) $((cy + 239)) click 1   # the up arrow
  sleep 0.3
  expect "the up arrow counts to 6" grep -qxF "id=${IDC_SETTINGS_OUTLINEWIDTH} text=6" <<<"$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')"
  drv click-button "${dlg[@]}" Shadow 5000 >/dev/null
  drv click-button "${dlg[@]}" Cancel 5000 >/dev/null
  expect "Cancel closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect "closes with exit code 0" app_close
  local kv k v
  for kv in uot=1 Codepage=949 Flood=40 FloodChk=1 Ancete=0; do
    k=${kv%%=*}
    v=${kv#*=}
    expect_eq "Setting.$k" "$(ini_get KestruneEX.ini Setting "$k")" "$v"
  done
  for kv in 'OutlineColor=$002010C8' OutlineWidth=5 Shadow=0 Align=Bottom; do
    k=${kv%%=*}
    v=${kv#*=}
    expect_eq "Subtitle.$k" "$(ini_get KestruneEX.ini Subtitle "$k")" "$v"
  done
  expect_eq "WindowsTransparent.MainABV" "$(ini_get KestruneEX.ini WindowsTransparent MainABV)" 255
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-settings.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# A stored MainABV of 0 starts the main window opaque; opening the dialog
# keeps it so (track bar at OFF), and so does Cancel.
scenario_advanced_settings_alpha_zero() {
  write_ini '[Agth]' 'AgthATrun=0' '[WindowsTransparent]' 'MainABV=0'
  app_start
  app_ready
  expect_fields "starts opaque" "$(drv window-info)" layered=0
  local dlg=(--exact --class '#32770' 'Advanced Setting')
  drv post-command $KX_CMD_ADVANCED >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  local text
  text=$(drv window-text "${dlg[@]}" 5000)
  expect "track bar at OFF, 0%" grep -qF "id=${IDC_SETTINGS_TRACKBAR1} pos=0 text=" <<<"$text"
  expect "the percentage shows 0%" grep -qF "id=${IDC_SETTINGS_TVALUE} text=0%" <<<"$text"
  expect_fields "still opaque while the dialog is open" "$(drv window-info)" layered=0
  drv click-button "${dlg[@]}" Cancel 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect_fields "still opaque after Cancel" "$(drv window-info)" layered=0
  expect "closes with exit code 0" app_close
}

# UTF-8 text as the settings file's hex text: four upper-case hex digits per
# UTF-16 unit.
hex_text() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F; }

# The top-left corner of a window's client area on the screen ("x y"), from
# the driver's window-info line (a frame of equal sides, caption on top).
client_origin() { # window-info line
  local rect client x y w h cw ch
  rect=$(grep -o 'rect=[^ ]*' <<<"$1")
  client=$(grep -o 'client=[^ ]*' <<<"$1")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  IFS=, read -r cw ch <<<"${client#client=}"
  echo "$((x + (w - cw) / 2)) $((y + h - ch - (w - cw) / 2))"
}

# The AGTH helper attaches our stand-in agth.exe to the selected process: the
# grid lists the program itself, the option typed into the box goes into the
# parameters and the history, the working directory is the AGTH folder, "/HH"
# switches to Rev Hex, and the history and path reach the settings file.
scenario_agth_attach() {
  mkdir -p 'AGTH Tools'
  cp "$KX_FAKE_AGTH" 'AGTH Tools/agth.exe'
  local agth agth_dir
  agth=$(winepath -w "$PWD/AGTH Tools/agth.exe" 2>/dev/null)
  agth_dir=${agth%\\*}
  echo "  AGTH path: $agth"
  write_ini '[MainMenu]' 'Translation=0' '[Agth]' "Agthpath=$(hex_text "$agth")" 'AgthAToption=' 'AgthATrun=0'
  app_start
  app_ready
  local dlg=(--exact --class '#32770' 'AGTH helper') info text rows
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  expect "command ${ID_FILE_AGTHHELPER} opens the AGTH helper" drv wait-window "${dlg[@]}" 10000
  info=$(drv window-info "${dlg[@]}")
  echo "  helper: $info"
  expect_fields "client area 495 x 416" "$info" visible=1 client=495,416
  local rect x y w h
  rect=$(grep -o 'rect=[^ ]*' <<<"$info")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  expect "centred on the 1280 x 1024 desktop" [ $((x - (1280 - w) / 2)) -ge -1 -a $((x - (1280 - w) / 2)) -le 1 \
    -a $((y - (1024 - h) / 2)) -ge -1 -a $((y - (1024 - h) / 2)) -le 1 ]
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  local want
  for want in "id=${IDC_AGTH_PATHLABEL} text=Agth path" "id=${IDC_AGTH_PATHBOX} text=${agth//\\/\\\\}" "id=${IDC_AGTH_BROWBTN} text=Browse.." "id=${IDC_AGTH_ATTACHBTN} text=Attach" \
    "id=${IDC_AGTH_ATTNOPTBTN} text=@Attach" "id=${IDC_AGTH_REFRESHBTN} text=Refresh" "id=${IDC_AGTH_OPTIONLABEL} text=Additional option " "id=${IDC_AGTH_OPTIONBOX} sel=-1 text=" \
    "id=${IDC_AGTH_GETTEXTGROUP} text= Get Text " "id=${IDC_AGTH_ASRBUTTON} check=1 text=Auto(Ascii)" "id=${IDC_AGTH_SHRBUTTON} check=0 text=Seq Hex" \
    "id=${IDC_AGTH_RHRBUTTON} check=0 text=Rev Hex" "id=${IDC_AGTH_CHECKBOX1} check=0 text=Show this window on startup" "id=${IDC_AGTH_CLOSEBTN} text=Close"; do
    expect "control $want" grep -qxF -- "$want" <<<"$text"
  done
  rows=$(drv list-rows "${dlg[@]}")
  echo "$rows" | sed 's/^/    /'
  expect "the grid lists the program itself" grep -qE '^row=[0-9]+ selected=[01] text=[0-9]+\|KestruneEX\.exe$' <<<"$rows"
  expect "no process name with 'hook' in it" eval '! grep -qi "|[^|]*hook[^|]*$" <<<"$rows"'
  local selected pid
  selected=$(grep -c ' selected=1 ' <<<"$rows" || true)
  expect_eq "one selected row" "$selected" 1
  expect "the selected row is the first" grep -q '^row=0 selected=1 ' <<<"$rows"
  pid=$(sed -n 's/^row=0 selected=1 text=\([0-9]*\)|.*/\1/p' <<<"$rows")
  echo "  selected process: $pid"
  sleep 0.5   # painted
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-agth-helper.png
  expect "helper screenshot written" [ -s screenshot-agth-helper.png ]

  # Into the option box with the mouse, the text in, and the focus out (Tab).
  local cx cy
  read -r cx cy <<<"$(client_origin "$info")"
  xdotool mousemove $((cx + 150)) $((cy + 328)) click 1
  sleep 0.3
  drv set-child-text "${dlg[@]}" ComboBox '/HH' >/dev/null
  xdotool key Tab
  sleep 0.3
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  grep "^id=${IDC_AGTH_OPTIONBOX} " <<<"$text" | sed 's/^/    /'
  expect "leaving the box puts /HH at the top of its list" grep -qxF "id=${IDC_AGTH_OPTIONBOX} sel=0 text=/HH" <<<"$text"
  drv click-button "${dlg[@]}" Attach 5000 >/dev/null
  expect "the stand-in AGTH ran" wait_file_line 'AGTH Tools/agth-call.txt' '^directory=' 20
  tr -d '\r' <'AGTH Tools/agth-call.txt' | sed 's/^/    /'
  expect_eq "parameters" "$(tr -d '\r' <'AGTH Tools/agth-call.txt' | sed -n 's/^parameters=//p')" "/P$pid /HH /C /L"
  expect_eq "working directory: the AGTH folder" \
    "$(tr -d '\r' <'AGTH Tools/agth-call.txt' | sed -n 's/^directory=//p')" "$agth_dir"
  expect "the helper closes after the launch" drv wait-window-gone "${dlg[@]}" 5000
  expect_fields "the main window is enabled again" "$(drv window-info)" enabled=1
  clip 'A082 A282 '
  expect "/HH switched to Rev Hex: 'A082 A282 ' gives あい" drv wait-log-ends-with "$(esc $'\r\nあい')" 5000

  # Opened again: Rev Hex chosen, the history shown.
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "reopened with Rev Hex chosen" grep -qxF "id=${IDC_AGTH_RHRBUTTON} check=1 text=Rev Hex" <<<"$text"
  expect "reopened with /HH in the box" grep -qxF "id=${IDC_AGTH_OPTIONBOX} sel=0 text=/HH" <<<"$text"
  drv click-button "${dlg[@]}" Close 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect "closes with exit code 0" app_close
  expect_eq "Agth.AgthAToption" "$(ini_get KestruneEX.ini Agth AgthAToption)" "/HH,,,,,,,,,"
  expect_eq "Agth.Agthpath" "$(ini_get KestruneEX.ini Agth Agthpath)" "$(hex_text "$agth")"
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-agth-helper.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Without an AGTH path, Attach shows the error box and the helper stays open;
# it opened at start-up (AgthATrun missing), Escape away from "Close" leaves it
# open, and its check box reaches the settings file.
scenario_agth_without_path() {
  write_ini '[MainMenu]' 'Translation=0'
  app_start
  local dlg=(--exact --class '#32770' 'AGTH helper') text box
  expect "the helper opens at start-up" drv wait-window "${dlg[@]}" 30000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the start-up box is checked" grep -qxF "id=${IDC_AGTH_CHECKBOX1} check=1 text=Show this window on startup" <<<"$text"
  drv click-button "${dlg[@]}" Attach 5000 >/dev/null
  box=$(drv window-text --exact --class '#32770' Error 10000) || { echo "  FAILED: no error box"; return 1; }
  echo "$box" | sed 's/^/    /'
  expect "the error box asks for agth.exe" grep -q 'text=Select agth.exe to attach first.$' <<<"$box"
  drv click-button --exact --class '#32770' Error OK 5000 >/dev/null
  drv wait-window-gone --exact --class '#32770' Error 5000 >/dev/null
  expect_fields "the helper stays open" "$(drv window-info "${dlg[@]}")" visible=1
  xdotool windowfocus --sync "$(xdotool search --name '^AGTH helper$' | sed -n 1p)"
  xdotool key Escape
  sleep 0.3
  expect_fields "Escape away from Close leaves it open" "$(drv window-info "${dlg[@]}")" visible=1
  drv click-button "${dlg[@]}" 'Show this window on startup' 5000 >/dev/null
  drv click-button "${dlg[@]}" Close 5000 >/dev/null
  expect "Close hides it" drv wait-window-gone "${dlg[@]}" 5000
  app_ready
  expect "closes with exit code 0" app_close
  expect_eq "Agth.AgthATrun" "$(ini_get KestruneEX.ini Agth AgthATrun)" 0
  expect_eq "Agth.AgthAToption" "$(ini_get KestruneEX.ini Agth AgthAToption)" ",,,,,,,,,"
}

# A game from the "Shortcut Manager" tab: the stored entry is loaded and
# selected, "Run" starts the stand-in agth.exe with the game as its argument in
# the game's folder, the entry's Rev Hex becomes the get-text method and the
# helper closes; a second entry made with "New", renamed in place and applied
# with a path reaches the settings file beside the first.
scenario_agth_shortcut_run() {
  mkdir -p 'AGTH Tools' 'Games/Demo Game' 'Games/Racer'
  cp "$KX_FAKE_AGTH" 'AGTH Tools/agth.exe'
  cp "$KX_FAKE_AGTH" 'Games/Demo Game/demo.exe'
  cp "$KX_FAKE_AGTH" 'Games/Racer/racer.exe'
  local agth game game_dir racer
  agth=$(winepath -w "$PWD/AGTH Tools/agth.exe" 2>/dev/null)
  game=$(winepath -w "$PWD/Games/Demo Game/demo.exe" 2>/dev/null)
  racer=$(winepath -w "$PWD/Games/Racer/racer.exe" 2>/dev/null)
  game_dir=${game%\\*}
  write_ini '[MainMenu]' 'Translation=0' '[Agth]' "Agthpath=$(hex_text "$agth")" 'AgthATrun=0' \
    '[AgthSM0]' "GName=$(hex_text 'Démo ゲーム')" "APath=$(hex_text "$game")" 'AOption=' 'TDelay=0' \
    "Notes=$(hex_text 'first note')" 'GTMethod=3'
  app_start
  app_ready
  local dlg=(--exact --class '#32770' 'AGTH helper') info text cx cy
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  info=$(drv window-info "${dlg[@]}")
  read -r cx cy <<<"$(client_origin "$info")"
  # The second tab's header; the first entry is selected since start-up.
  xdotool mousemove $((cx + 130)) $((cy + 48)) click 1
  sleep 0.3
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | grep '^id=20[67]' | sed 's/^/    /'
  expect "the entry's name in the editor" grep -qxF "id=${IDC_SM_NAME} text=Démo ゲーム" <<<"$text"
  expect "the entry's path in the editor" grep -qxF "id=${IDC_SM_APATH} text=${game//\\/\\\\}" <<<"$text"
  expect "Rev Hex checked" grep -qxF "id=${IDC_SM_REVHEX} check=1 text=Rev Hex" <<<"$text"
  expect "notes shown" grep -qxF "id=${IDC_SM_NOTES} text=first note" <<<"$text"
  local rect x y w h
  rect=$(grep -o 'rect=[^ ]*' <<<"$info")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  sleep 0.5
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-shortcut-manager.png
  expect "shortcut tab screenshot written" [ -s screenshot-shortcut-manager.png ]

  drv click-button "${dlg[@]}" Run 5000 >/dev/null
  expect "the stand-in AGTH ran" wait_file_line 'AGTH Tools/agth-call.txt' '^directory=' 20
  tr -d '\r' <'AGTH Tools/agth-call.txt' | sed 's/^/    /'
  expect_eq "parameters" "$(tr -d '\r' <'AGTH Tools/agth-call.txt' | sed -n 's/^parameters=//p')" " /C /L $game"
  expect_eq "working directory: the game's folder" \
    "$(tr -d '\r' <'AGTH Tools/agth-call.txt' | sed -n 's/^directory=//p')" "$game_dir"
  expect "the helper closes after the launch" drv wait-window-gone "${dlg[@]}" 5000
  clip 'A082 A282 '
  expect "the entry's Rev Hex: 'A082 A282 ' gives あい" drv wait-log-ends-with "$(esc $'\r\nあい')" 5000

  # A new entry, renamed in place, given a path and applied.
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  drv click-button "${dlg[@]}" New 5000 >/dev/null
  sleep 0.3
  xdotool type --delay 20 'Racer'
  xdotool key Return
  sleep 0.3
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the in-place name reaches the editor" grep -qxF "id=${IDC_SM_NAME} text=Racer" <<<"$text"
  expect "a new entry has delay 10" grep -qE "^id=${IDC_SM_DELAY} .*text=10\$" <<<"$text"
  drv set-child-text "${dlg[@]}" "#${IDC_SM_APATH}" "${racer//\\/\\\\}" >/dev/null
  drv click-button "${dlg[@]}" Apply 5000 >/dev/null
  sleep 0.3
  expect "no error box" eval '! drv window-text --exact --class "#32770" Error 500 >/dev/null 2>&1'
  drv click-button "${dlg[@]}" Close 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect "closes with exit code 0" app_close
  expect_eq "AgthSM0.GName" "$(ini_get KestruneEX.ini AgthSM0 GName)" "$(hex_text 'Démo ゲーム')"
  expect_eq "AgthSM0.APath" "$(ini_get KestruneEX.ini AgthSM0 APath)" "$(hex_text "$game")"
  expect_eq "AgthSM0.GTMethod" "$(ini_get KestruneEX.ini AgthSM0 GTMethod)" 3
  expect_eq "AgthSM0.TDelay" "$(ini_get KestruneEX.ini AgthSM0 TDelay)" 0
  expect_eq "AgthSM0.Notes" "$(ini_get KestruneEX.ini AgthSM0 Notes)" "$(hex_text 'first note')"
  expect_eq "AgthSM1.GName" "$(ini_get KestruneEX.ini AgthSM1 GName)" "$(hex_text Racer)"
  expect_eq "AgthSM1.APath" "$(ini_get KestruneEX.ini AgthSM1 APath)" "$(hex_text "$racer")"
  expect_eq "AgthSM1.TDelay" "$(ini_get KestruneEX.ini AgthSM1 TDelay)" 10
  expect_eq "AgthSM1.GTMethod" "$(ini_get KestruneEX.ini AgthSM1 GTMethod)" 1
  expect_eq "AgthSM2.GName is empty" "$(ini_get KestruneEX.ini AgthSM2 GName)" ""
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-shortcut-manager.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Runs shortcut `row` of the AGTH helper's second tab and waits for the
# stand-in AGTH to have been started.
run_shortcut() { # row
  local dlg=(--exact --class '#32770' 'AGTH helper') cx cy
  rm -f 'AGTH Tools/agth-call.txt'
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  read -r cx cy <<<"$(client_origin "$(drv window-info "${dlg[@]}")")"
  xdotool mousemove $((cx + 130)) $((cy + 48)) click 1
  sleep 0.3
  drv select-row "${dlg[@]}" ${IDC_SM_LIST} "$1" >/dev/null
  drv click-button "${dlg[@]}" Run 5000 >/dev/null
  wait_file_line 'AGTH Tools/agth-call.txt' '^directory=' 20
}

# The system message of a request to the loopback server.
chat_request_system() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["messages"][0]["content"])' "$1"; }

# Game profiles: a game started from its shortcut brings its profile, whose
# substitutions come before the global ones and whose glossary joins the
# global one (its pair winning); the second game's profile, made empty, leaves
# the first one's pairs behind; the Text filters dialog writes the game's list
# to the game's file; the profile in force is kept at exit; a profile that
# cannot be read is said at start-up and left exactly as it was.
scenario_game_profiles() {
  chat_server_start prof
  local url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions" agth alpha beta system
  mkdir -p 'AGTH Tools' 'Games/Alpha' 'Bin'
  cp "$KX_FAKE_AGTH" 'AGTH Tools/agth.exe'
  cp "$KX_FAKE_AGTH" 'Bin/alpha.exe'
  cp "$KX_FAKE_AGTH" 'Bin/beta.exe'
  agth=$(winepath -w "$PWD/AGTH Tools/agth.exe" 2>/dev/null)
  alpha=$(winepath -w "$PWD/Bin/alpha.exe" 2>/dev/null)
  beta=$(winepath -w "$PWD/Bin/beta.exe" 2>/dev/null)
  printf '[Substitutions]\r\nB0=%s,%s\r\n[Glossary]\r\nG0=%s,%s\r\n' "$(hex_text 猫)" "$(hex_text ねこ)" \
    "$(hex_text 太郎)" "$(hex_text 타로)" >Games/Alpha/profile.ini
  write_ini '[Agth]' "Agthpath=$(hex_text "$agth")" 'AgthATrun=0' '[Setting]' 'FloodChk=0' \
    '[Substitutions]' "B0=$(hex_text ねこ),$(hex_text ネコ)" \
    '[Glossary]' "G0=$(hex_text 花子),$(hex_text 하나코)" "G1=$(hex_text 太郎),$(hex_text 글로벌)" \
    '[Engine]' 'Kind=Server' "Url=$url" \
    '[AgthSM0]' "GName=$(hex_text Alpha)" "APath=$(hex_text "$alpha")" 'TDelay=0' 'GTMethod=1' \
    '[AgthSM1]' "GName=$(hex_text Beta)" "APath=$(hex_text "$beta")" 'TDelay=0' 'GTMethod=1'
  app_start
  app_ready
  expect "the first game started from its shortcut" run_shortcut 0
  expect "its profile in force" drv wait-log-contains "$(esc $'\r\nGame profile: Alpha')" 5000
  clip "$(sjis 猫と太郎と花子)"
  expect "the game's substitution, then the global one" drv wait-log-ends-with "$(esc $'\r\nKO:ネコと太郎と花子')" 10000
  system=$(chat_request_system prof/request-1.body)
  expect "the game's glossary pair, which wins over the global one" grep -qxF '太郎 → 타로' <<<"$system"
  expect "the global glossary's other pair" grep -qxF '花子 → 하나코' <<<"$system"
  expect "not the global pair of the game's term" bash -c '[[ $1 != *글로벌* ]]' _ "$system"

  expect "the second game started from its shortcut" run_shortcut 1
  expect "its profile in force" drv wait-log-contains "$(esc $'\r\nGame profile: Beta')" 5000
  expect "its profile made, empty" [ -e Games/Beta/profile.ini ] && [ ! -s Games/Beta/profile.ini ]
  clip "$(sjis 猫と太郎)"
  expect "the first game's substitution no longer applies" drv wait-log-ends-with "$(esc $'\r\nKO:猫と太郎')" 10000
  expect "the global glossary alone" grep -qxF '太郎 → 글로벌' <<<"$(chat_request_system prof/request-2.body)"

  # The Text filters dialog opens on the game's own lists; OK writes the game's file at once.
  local dlg=(--exact --class '#32770' 'Text filters') text
  drv post-command ${ID_OPTIONS_TEXTFILTERS} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "This game: Beta, chosen" grep -qxF "id=${IDC_FILTERS_THISGAME} check=1 text=This game: Beta" <<<"$text"
  expect_eq "the game's list is empty" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" ""
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-game-profile.png
  [[ -z ${KX_E2E_SCREENSHOTS:-} ]] || cp screenshot-game-profile.png "$KX_E2E_SCREENSHOTS"/
  drv click-button "${dlg[@]}" --post Add 15000 >/dev/null
  expect "Add opens the pair editor" drv wait-window --exact --class '#32770' Substitution 15000
  pair_ok "$(esc 太郎)" "$(esc 次郎)"
  drv click-button "${dlg[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect_eq "the game's file holds the pair" "$(tr -d '\r' <Games/Beta/profile.ini)" \
    "$(printf '[Substitutions]\nB0=%s,%s' "$(hex_text 太郎)" "$(hex_text 次郎)")"
  clip "$(sjis 太郎)"
  expect "and it applies at once" drv wait-log-ends-with "$(esc $'\r\nKO:次郎')" 10000
  # The server's dialog too: the game's model goes to the game's file only.
  local sdlg=(--exact --class '#32770' 'Translation server')
  drv post-command ${ID_ENGINE_SERVERSETTINGS} >/dev/null
  drv wait-window "${sdlg[@]}" 10000 >/dev/null
  expect "This game: Beta, chosen there too" grep -qxF "id=${IDC_SERVER_THISGAME} check=1 text=This game: Beta" \
    <<<"$(drv window-text "${sdlg[@]}" 5000 | sed 's/^child class=[^ ]* //')"
  drv set-child-text "${sdlg[@]}" "#${IDC_SERVER_MODEL}" beta-model >/dev/null
  drv click-button "${sdlg[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${sdlg[@]}" 5000 >/dev/null
  expect_eq "the game's model in the game's file" "$(ini_get Games/Beta/profile.ini Engine Model)" beta-model
  clip "$(sjis 花子)"
  expect "translated" drv wait-log-ends-with "$(esc $'\r\nKO:花子')" 10000
  expect "with the game's model" grep -qF '"model":"beta-model"' prof/request-4.body
  expect "closes with exit code 0" app_close
  expect_eq "the profile in force kept" "$(ini_get KestruneEX.ini Profile Active)" "$(hex_text Beta)"
  expect_eq "the global list unchanged" "$(ini_get KestruneEX.ini Substitutions B0)" "$(hex_text ねこ),$(hex_text ネコ)"
  expect_eq "no game pair in it" "$(ini_get KestruneEX.ini Substitutions B1)" ""
  expect_eq "nor the game's model" "$(ini_get KestruneEX.ini Engine Model)" ""

  # A profile with bytes that are no UTF-8: said once, not used, not written.
  printf '[Setting]\r\nCodepage=936\r\n; \xff\xfe\r\n' >Games/Beta/profile.ini
  cp Games/Beta/profile.ini bad-profile.ini
  app_start
  app_ready
  expect "the program says it cannot read the profile" \
    drv wait-log-contains "$(esc 'profile.ini could not be read (its bytes are not UTF-8 text)')" 5000
  expect "closes with exit code 0" app_close
  expect "the file is unchanged" cmp Games/Beta/profile.ini bad-profile.ini
}

# Bursts from a hooker flushing several text threads at once: every change
# is read at most once, in order, and the last one is always shown.
scenario_capture_bursts() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  local interval lines distinct
  for interval in 0 2; do
    drv clip-burst 300 "$interval" "burst${interval}-" >/dev/null
    expect "burst $interval ms apart: the last change is shown" \
      drv wait-log-ends-with "$(esc "burst${interval}-300")" 10000
    mapfile -t lines < <(log_lines | grep "^burst${interval}-")
    distinct=$(printf '%s\n' "${lines[@]}" | sort -u | wc -l)
    echo "    $interval ms apart: ${#lines[@]} lines shown of 300 changes"
    expect_eq "burst $interval ms apart: no line shown twice" "$distinct" "${#lines[@]}"
    expect "burst $interval ms apart: in the order copied" \
      eval 'printf "%s\n" "${lines[@]}" | sort -c'
  done
  # Sequential hex with NUL characters: «4100 4200 » is "A", NUL, "B", NUL.
  drv command $KX_CMD_HEXSEQ >/dev/null
  clip '4100 4200 '
  expect "NUL characters dropped, the text after them kept" drv wait-log-ends-with "$(esc $'\r\nAB')" 5000
  expect "closes with exit code 0" app_close
}

# A slow engine (300 ms a text): the window answers at once meanwhile, and
# lines read while it works all appear translated, in order, once.
scenario_slow_engine() {
  export KX_STANDIN_DELAY_MS=300 KX_STANDIN_CALL_LOG
  KX_STANDIN_CALL_LOG=$(winepath -w "$PWD/engine-calls.txt" 2>/dev/null)
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0'
  app_start
  app_ready
  local probes_out="$PWD/probes.txt"
  drv probe-answers 2500 20 >"$probes_out" &
  local probe_pid=$! i
  sleep 0.3
  for i in 1 2 3 4 5; do
    clip "$(sjis かな)line$i"
    sleep 0.03
  done
  expect "the fifth line translated" drv wait-log-ends-with "$(esc $'\r\n카나line5')" 10000
  wait $probe_pid
  cat "$probes_out" | sed 's/^/    /'
  expect_fields "the window never stopped answering" "$(cat "$probes_out")" over-1s=0
  expect_eq "five lines, in order, once" "$(log_lines | grep -c '^카나line[1-5]$')" 5
  expect "in read order" eval 'log_lines | grep "^카나line" | sort -c'
  # The same line again: answered from the cache, the engine is not called.
  local calls
  calls=$(wc -l <engine-calls.txt)
  clip "$(sjis かな)line1"
  expect "a repeated line is shown again" drv wait-log-ends-with "$(esc $'line5\r\n카나line1')" 5000
  expect_eq "the engine was not called for it" "$(wc -l <engine-calls.txt)" "$calls"
  # Closing while a burst waits for the engine: the call in progress ends,
  # the rest is dropped, the settings are saved, and the process ends soon.
  for i in 1 2 3 4 5 6 7 8; do clip "$(sjis かな)wait$i"; done
  sleep 0.2
  # 2 s plus one engine call, plus the driver's start under Wine.
  app_close_within 3300 "closes with exit code 0 while texts wait" "closing took under 3.3 s"
  expect "the settings were saved" [ -s KestruneEX.ini ]
  expect_eq "Setting.FloodChk" "$(ini_get KestruneEX.ini Setting FloodChk)" 0
}

# An engine call that does not come back: after 15 s its line and the one
# behind it show untranslated with one line saying so, later lines show at
# once, and closing ends the process within 3 s with the settings written;
# the next start is not kept out by the stuck one.
scenario_hung_engine() {
  export KX_STANDIN_DELAY_MS=60000
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0'
  app_start
  app_ready
  clip "$(sjis かな)stuck"
  sleep 0.3
  clip "$(sjis かな)next"
  expect "15 s on: both lines untranslated, the engine stopped" \
    drv wait-log-ends-with "$(esc $'かなstuck\r\nTranslation Engine stopped answering\r\nかなnext')" 25000
  clip "$(sjis かな)later"
  expect "a later line shows at once, untranslated" drv wait-log-ends-with "$(esc $'next\r\nかなlater')" 3000
  app_close_within 3300 "closes with exit code 0" "closing took under 3.3 s"
  expect_eq "the settings were saved" "$(ini_get KestruneEX.ini Setting FloodChk)" 0
  unset KX_STANDIN_DELAY_MS
  app_start
  expect "the next start comes up" app_ready
  expect "and closes" app_close
}

# Stored shortcuts whose delay or method is no decimal number: the conversion
# error box shows at start-up, yet the helper is whole (grid columns, every
# entry listed, the first selected); Escape in the Notes box leaves it open;
# deleting an entry moves a faulty one into place with the error box, and the
# list, selection and editors still agree, so "Apply" changes that entry only.
scenario_agth_shortcut_faults() {
  mkdir -p Games
  cp "$KX_FAKE_AGTH" Games/a.exe
  local game
  game=$(winepath -w "$PWD/Games/a.exe" 2>/dev/null)
  write_ini '[MainMenu]' 'Translation=0' '[Agth]' 'AgthATrun=0' \
    '[AgthSM0]' "GName=$(hex_text First)" "APath=$(hex_text "$game")" 'TDelay=$A' 'GTMethod=1' \
    '[AgthSM1]' "GName=$(hex_text Second)" "APath=$(hex_text "$game")" 'TDelay=5' 'GTMethod=2' \
    '[AgthSM2]' "GName=$(hex_text Third)" "APath=$(hex_text "$game")" 'TDelay=10' 'GTMethod=x3'
  app_start
  local box=(--exact --class '#32770' 'KestruneEX!') dlg=(--exact --class '#32770' 'AGTH helper') text rows info cx cy
  text=$(drv window-text "${box[@]}" 30000) || { echo "  FAILED: no error box at start-up"; return 1; }
  echo "$text" | sed 's/^/    /'
  expect "the start-up box names the delay" grep -qF "text='\$A' is not a valid integer value." <<<"$text"
  drv click-button "${box[@]}" OK 5000 >/dev/null
  app_ready
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  expect "the helper opens" drv wait-window "${dlg[@]}" 10000
  rows=$(drv list-rows "${dlg[@]}")
  expect "the process grid has its columns" grep -qE '^row=[0-9]+ selected=[01] text=[0-9]+\|KestruneEX\.exe$' <<<"$rows"
  # The shortcut list's rows, names only.
  shortcut_rows() { drv list-rows "${dlg[@]}" ${IDC_SM_LIST} | tee /dev/stderr | grep '^row=' | cut -d'|' -f1; }
  expect_eq "every stored entry listed, the first selected" "$(shortcut_rows)" \
    "$(printf 'row=0 selected=1 text=First\nrow=1 selected=0 text=Second\nrow=2 selected=0 text=Third')"
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the name editor shows the first entry" grep -qxF "id=${IDC_SM_NAME} text=First" <<<"$text"

  # Escape in the Notes box (the second tab's multi-line edit).
  info=$(drv window-info "${dlg[@]}")
  read -r cx cy <<<"$(client_origin "$info")"
  xdotool mousemove $((cx + 130)) $((cy + 48)) click 1
  sleep 0.3
  xdotool mousemove $((cx + 300)) $((cy + 235)) click 1
  sleep 0.3
  xdotool type --delay 20 'memo'
  xdotool key Escape
  sleep 0.5
  expect_fields "Escape in the Notes box leaves the helper open" "$(drv window-info "${dlg[@]}")" visible=1
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the typed note is there" grep -qxF "id=${IDC_SM_NOTES} text=memo" <<<"$text"

  # "Second" selected (second row of the list), then deleted: "Third" moves
  # into place with its faulty method.
  xdotool mousemove $((cx + 60)) $((cy + 68 + 8 + 17)) click 1
  sleep 0.3
  rows=$(drv list-rows "${dlg[@]}" ${IDC_SM_LIST})
  expect "the second entry is selected" grep -q '^row=1 selected=1 text=Second|' <<<"$rows"
  xdotool mousemove $((cx + 454)) $((cy + 296)) click 1   # "Delete"; its question box is modal
  drv click-button --exact --class '#32770' Confirm Yes 10000 >/dev/null
  text=$(drv window-text "${box[@]}" 10000) || { echo "  FAILED: no error box after Delete"; return 1; }
  expect "the box names the method" grep -qF "text='x3' is not a valid integer value." <<<"$text"
  drv click-button "${box[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${box[@]}" 5000 >/dev/null
  expect_eq "the deleted entry is gone from the list, the moved-in one selected" "$(shortcut_rows)" \
    "$(printf 'row=0 selected=0 text=First\nrow=1 selected=1 text=Third')"
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the name editor shows the moved-in entry" grep -qxF "id=${IDC_SM_NAME} text=Third" <<<"$text"
  drv set-child-text "${dlg[@]}" "#${IDC_SM_NAME}" 'Third again' >/dev/null
  drv click-button "${dlg[@]}" Apply 5000 >/dev/null
  sleep 0.3
  drv click-button "${dlg[@]}" Close 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect "closes with exit code 0" app_close
  expect_eq "AgthSM0 kept" "$(ini_get KestruneEX.ini AgthSM0 GName)" "$(hex_text First)"
  expect_eq "AgthSM0 delay kept" "$(ini_get KestruneEX.ini AgthSM0 TDelay)" '$A'
  expect_eq "AgthSM1 is the applied entry" "$(ini_get KestruneEX.ini AgthSM1 GName)" "$(hex_text 'Third again')"
  expect_eq "AgthSM2 is empty" "$(ini_get KestruneEX.ini AgthSM2 GName)" ""
}

# The open pair editor filled and closed with OK.
pair_ok() { # find replace (driver escapes)
  local pair=(--exact --class '#32770' Substitution)
  drv set-child-text "${pair[@]}" "#${IDC_SUBST_FIND}" "$1" >/dev/null
  drv set-child-text "${pair[@]}" "#${IDC_SUBST_REPLACE}" "$2" >/dev/null
  drv click-button "${pair[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${pair[@]}" 5000 >/dev/null
}

# The rows of a list of the text filters dialog (2104 before, 2109 after, 2114 glossary).
filter_rows() { drv list-rows --exact --class '#32770' 'Text filters' "$1" | grep '^row='; }

# The text filters dialog: its controls, pairs added to both lists, edited
# (button and double-click) and deleted through the pair editor with a find
# text outside every 8-bit code page, an empty find refused, Edit and Delete
# without a selected row doing nothing; OK keeps what was edited, Cancel,
# Escape and the close box discard it.
# Unicode text from another process: shown exactly with Ctrl+4, though the
# prefix's ANSI code page (1252 here) cannot hold it; translated around the
# characters Shift-JIS cannot hold; chosen by a shortcut's method 4.
scenario_unicode_text() {
  mkdir -p 'AGTH Tools' 'Games/Demo'
  cp "$KX_FAKE_AGTH" 'AGTH Tools/agth.exe'
  cp "$KX_FAKE_AGTH" 'Games/Demo/demo.exe'
  local agth game
  agth=$(winepath -w "$PWD/AGTH Tools/agth.exe" 2>/dev/null)
  game=$(winepath -w "$PWD/Games/Demo/demo.exe" 2>/dev/null)
  write_ini '[Setting]' 'FloodChk=0' '[MainMenu]' 'Translation=0' '[Agth]' "Agthpath=$(hex_text "$agth")" \
    'AgthATrun=0' '[AgthSM0]' "GName=$(hex_text Demo)" "APath=$(hex_text "$game")" 'AOption=' 'TDelay=0' \
    'Notes=' 'GTMethod=4'
  app_start
  app_ready
  local text='こんにちは ♥ 😀 한글 X11'
  expect_eq "the prefix's ANSI code page" "$(drv code-pages)" "acp=1252"
  keys ctrl+4
  clipu "$text"
  expect "Ctrl+4: the Unicode text shown exactly" drv wait-log-ends-with "$(esc $'\r\n'"$text")" 5000
  expect_eq "the 8-bit form the system makes of it has lost it" "$(drv get-clipboard)" \
    'clipboard=????? ? ?? ?? X11'
  clipu $'a\r\n\r\nb\r\nc'
  expect "empty lines removed, other line breaks kept" drv wait-log-ends-with "$(esc $'X11\r\nab\r\nc')" 5000
  drv command $KX_CMD_ASCII >/dev/null
  clipu "$text"
  expect "Ascii code reads the 8-bit form" drv wait-log-ends-with "$(esc $'\r\n????? ? ?? ?? X11')" 5000
  # Translated through the stand-in: the heart is kept in its place.
  drv command $KX_CMD_UNICODE >/dev/null
  drv command $KX_CMD_TRANSLATION >/dev/null
  clipu 'かな♥かなline'
  expect "a heart in a translated text is still there" drv wait-log-ends-with "$(esc $'\r\n카나♥카나line')" 5000
  drv command $KX_CMD_TRANSLATION >/dev/null
  # The shortcut's method 4 shows as "Unicode" and Run applies it.
  drv command $KX_CMD_ASCII >/dev/null
  local dlg=(--exact --class '#32770' 'AGTH helper') info cx cy
  drv post-command ${ID_FILE_AGTHHELPER} >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  info=$(drv window-info "${dlg[@]}")
  read -r cx cy <<<"$(client_origin "$info")"
  xdotool mousemove $((cx + 130)) $((cy + 48)) click 1
  sleep 0.3
  expect "the entry's method: Unicode checked" grep -qxF "id=${IDC_SM_UNICODE} check=1 text=Unicode" \
    <<<"$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')"
  drv click-button "${dlg[@]}" Run 5000 >/dev/null
  expect "the stand-in AGTH ran" wait_file_line 'AGTH Tools/agth-call.txt' '^directory=' 20
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  clipu '한글 ♥'
  expect "Run set the Unicode method" drv wait-log-ends-with "$(esc $'\r\n한글 ♥')" 5000
  expect "closes with exit code 0" app_close
  expect_eq "GTMethod 4 kept" "$(ini_get KestruneEX.ini AgthSM0 GTMethod)" 4
}

# The filters and substitutions: from the settings file, switched in the
# dialog, written at exit and read again at the next start.
scenario_text_cleaning() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' \
    '[Filters]' 'RepeatChars=1' 'RepeatPhrase=1' 'SkipRepeat=1' \
    '[Substitutions]' "B0=$(hex_text Taro),$(hex_text '타로♥😀')" "A0=$(hex_text 카나),$(hex_text KANA)" '[Own]' 'keep=me'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu 'ああいいうう'
  expect "letters written twice collapsed" drv wait-log-ends-with "$(esc $'\r\nあいう')" 5000
  clipu 'こんにちはこんにちは'
  expect "a phrase written twice collapsed" drv wait-log-ends-with "$(esc $'\r\nこんにちは')" 5000
  clipu 'こんにちは'
  clipu 'Taro'
  expect "the repeat skipped; the substitution before translation shown with translation off" \
    drv wait-log-ends-with "$(esc $'\r\nあいう\r\nこんにちは\r\n타로♥😀')" 5000
  # After translation: the stand-in's answer is substituted.
  drv command $KX_CMD_TRANSLATION >/dev/null
  clipu 'かなline'
  expect "the substitution after translation" drv wait-log-ends-with "$(esc $'\r\nKANAline')" 5000
  drv command $KX_CMD_TRANSLATION >/dev/null
  # All three filters off through the dialog.
  switch_filters 1
  clipu 'ああいいうう'
  clipu 'ああいいうう'
  expect "filters off: shown as they are, twice" \
    drv wait-log-ends-with "$(esc $'\r\nああいいうう\r\nああいいうう')" 5000
  expect "closes with exit code 0" app_close
  expect_eq "filters written" "$(ini_get KestruneEX.ini Filters RepeatChars) $(ini_get KestruneEX.ini Filters RepeatPhrase) $(ini_get KestruneEX.ini Filters SkipRepeat)" "0 0 0"
  expect_eq "substitution B0 kept" "$(ini_get KestruneEX.ini Substitutions B0)" "$(hex_text Taro),$(hex_text '타로♥😀')"
  expect_eq "substitution A0 kept" "$(ini_get KestruneEX.ini Substitutions A0)" "$(hex_text 카나),$(hex_text KANA)"
  expect_eq "other sections kept" "$(ini_get KestruneEX.ini Own keep)" "me"
  # The next start reads them again.
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu 'Taro'
  expect "after a restart the substitution, characters outside every 8-bit code page included" \
    drv wait-log-ends-with "$(esc $'\r\n타로♥😀')" 5000
  clipu 'ああいいうう'
  clipu 'ああいいうう'
  expect "filters off from the settings file" drv wait-log-ends-with "$(esc $'\r\nああいいうう\r\nああいいうう')" 5000
  # And on again through the dialog.
  switch_filters 0
  clipu 'かかなな'
  clipu 'はいはいはい'
  clipu 'はい'
  clipu 'Taro'
  expect "filters on from the dialog" drv wait-log-ends-with "$(esc $'\r\nかな\r\nはい\r\n타로♥😀')" 5000
  expect "closes with exit code 0" app_close
}

# Opens the text filters dialog, checks that the three filters show `from`
# (0 or 1), switches each and presses OK.
switch_filters() {
  local dlg=(--exact --class '#32770' 'Text filters') id
  drv post-command $KX_CMD_TEXTFILTERS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  for id in ${IDC_FILTERS_REPEATCHARS} ${IDC_FILTERS_REPEATPHRASE} ${IDC_FILTERS_SKIPREPEAT}; do
    expect_fields "filter $id shows $1" "$(drv window-text "${dlg[@]}" 5000 | grep " id=$id ")" "check=$1"
    expect "filter $id switched" drv click-button "${dlg[@]}" "#$id" 5000
  done
  expect "OK" drv click-button "${dlg[@]}" OK 5000
  expect "the dialog closes" drv wait-window-gone "${dlg[@]}" 5000
}

# At 144 dpi (150 %): the main window's font, the dialogs and the subtitle
# strip laid out at scale. The dialogs take the size of their templates'
# dialog units at this dpi: Tahoma 8, with the CJK font linked to it as this
# run sets up, gives a base of 9 x 19 pixels there (6 x 13 at 96 dpi), so
# they grow by 150 % across and by 19/13 down.
scenario_high_dpi() {
  DPI_CHANGED=1
  set_dpi 144
  write_ini '[Agth]' 'AgthATrun=1' '[Setting]' 'TMainFont=Tahoma,clWindowText,10,d,'
  app_start
  local helper=(--exact --class '#32770' 'AGTH helper') info x y w h rect
  expect "the AGTH helper opens" drv wait-window "${helper[@]}" 30000
  info=$(drv window-info "${helper[@]}")
  expect_fields "the AGTH helper at 150 %" "$info" client=743,608
  shot_of "$info" screenshot-agth-helper-150.png
  drv click-button "${helper[@]}" Close 5000 >/dev/null
  app_ready
  clip 'At 150 % every window is laid out at scale.'
  drv wait-log-ends-with "$(esc 'at scale.')" 5000 >/dev/null
  info=$(drv window-info)
  shot_of "$info" screenshot-normal-150.png
  local dlg
  for dlg in "$KX_CMD_ADVANCED:Advanced Setting:623,401" "$KX_CMD_TEXTFILTERS:Text filters:720,808"; do
    IFS=: read -r cmd title size <<<"$dlg"
    drv post-command "$cmd" >/dev/null
    expect "$title opens" drv wait-window --exact --class '#32770' "$title" 10000
    info=$(drv window-info --exact --class '#32770' "$title")
    expect_fields "$title at 150 %" "$info" "client=$size"
    [[ $title == 'Text filters' ]] && shot_of "$info" screenshot-text-filters-150.png
    drv click-button --exact --class '#32770' "$title" Cancel 5000 >/dev/null
    drv wait-window-gone --exact --class '#32770' "$title" 5000 >/dev/null
  done
  drv command $KX_CMD_SUBTITLE >/dev/null
  info=$(drv window-info)
  expect_fields "subtitle: log view 3 pixels inside (2 at 100 %)" "$info" logview-clientedge=0
  grep -q ' logview=3,3,' <<<"$info" || { echo "  FAILED: subtitle margin: $info"; return 1; }
  echo "  ok: subtitle margin at scale"
  drv command $KX_CMD_SUBTITLE >/dev/null
  expect "closes with exit code 0" app_close
  expect_eq "the font is kept in points" "$(ini_get KestruneEX.ini Setting TMainFont)" 'Tahoma,clWindowText,10,d,'
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-agth-helper-150.png screenshot-normal-150.png screenshot-text-filters-150.png "$KX_E2E_SCREENSHOTS"/
  fi
  set_dpi 96
  DPI_CHANGED=
}

# Crops the screen to a window (window-info line) into a PNG.
shot_of() { # info file
  local rect x y w h
  rect=$(grep -o 'rect=[^ ]*' <<<"$1")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  sleep 0.5
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip "$2"
  expect "$2 written" [ -s "$2" ]
}

scenario_text_filters_dialog() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' \
    '[WindowsPos]' 'MainLeft=120' 'MainTop=200' 'MainWidth=640' 'MainHeight=230'
  app_start
  app_ready
  local options_cmd=${ID_OPTIONS_TEXTFILTERS} popup_cmd=${ID_POPUP_TEXTFILTERS}
  local dlg=(--exact --class '#32770' 'Text filters') pair=(--exact --class '#32770' Substitution)
  local box=(--exact --class '#32770' 'KestruneEX!') info text want main rect x y w h mx my mw mh
  local heart_smile='♥😀'
  drv post-command $options_cmd >/dev/null
  expect "Options > Text filters.. opens the dialog" drv wait-window "${dlg[@]}" 10000
  info=$(drv window-info "${dlg[@]}")
  echo "  dialog: $info"
  expect_fields "client area 480 x 553" "$info" visible=1 client=480,553
  main=$(drv window-info)
  expect_fields "the main window waits (disabled)" "$main" enabled=0
  rect=$(grep -o 'rect=[^ ]*' <<<"$info")
  IFS=, read -r x y w h <<<"${rect#rect=}"
  rect=$(grep -o 'rect=[^ ]*' <<<"$main")
  IFS=, read -r mx my mw mh <<<"${rect#rect=}"
  expect "centred over the main window" [ $((2 * x + w - 2 * mx - mw)) -ge -2 -a $((2 * x + w - 2 * mx - mw)) -le 2 \
    -a $((2 * y + h - 2 * my - mh)) -ge -2 -a $((2 * y + h - 2 * my - mh)) -le 2 ]
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  for want in "id=${IDC_FILTERS_REPEATCHARS} check=0 text=Collapse letters written two to four times (aabbcc: abc)" \
    "id=${IDC_FILTERS_REPEATPHRASE} check=0 text=Collapse a phrase written twice or more (abcabc: abc)" \
    "id=${IDC_FILTERS_SKIPREPEAT} check=0 text=Do not show a text equal to the one before it" \
    "id=${IDC_FILTERS_BEFORELABEL} text=Before translation" "id=${IDC_FILTERS_BEFORELIST} text=" "id=${IDC_FILTERS_BEFOREADD} text=Add" "id=${IDC_FILTERS_BEFOREEDIT} text=Edit" "id=${IDC_FILTERS_BEFOREDELETE} text=Delete" \
    "id=${IDC_FILTERS_AFTERLABEL} text=After translation" "id=${IDC_FILTERS_AFTERLIST} text=" "id=${IDC_FILTERS_AFTERADD} text=Add" "id=${IDC_FILTERS_AFTEREDIT} text=Edit" "id=${IDC_FILTERS_AFTERDELETE} text=Delete" \
    "id=${IDC_FILTERS_GLOSSARYLABEL} text=Glossary (server)" "id=${IDC_FILTERS_GLOSSARYLIST} text=" "id=${IDC_FILTERS_GLOSSARYADD} text=Add" "id=${IDC_FILTERS_GLOSSARYEDIT} text=Edit" "id=${IDC_FILTERS_GLOSSARYDELETE} text=Delete" \
    'id=1 text=OK' 'id=2 text=Cancel'; do
    expect "control $want" grep -qxF -- "$want" <<<"$text"
  done
  expect_eq "the three lists are list views, empty" \
    "$(for list in ${IDC_FILTERS_BEFORELIST} ${IDC_FILTERS_AFTERLIST} ${IDC_FILTERS_GLOSSARYLIST}; do
      drv list-rows "${dlg[@]}" $list | tail -n 1; done | paste -sd ' ')" "rows=0 rows=0 rows=0"

  # Before translation: the editor opens empty over the disabled dialog; an
  # empty find is refused and the editor stays open with its texts.
  drv click-button "${dlg[@]}" --post Add 5000 >/dev/null
  expect "Add opens the pair editor" drv wait-window "${pair[@]}" 5000
  text=$(drv window-text "${pair[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  for want in "id=${IDC_SUBST_FINDLABEL} text=Find" "id=${IDC_SUBST_FIND} text=" "id=${IDC_SUBST_REPLACELABEL} text=Replace" "id=${IDC_SUBST_REPLACE} text=" 'id=1 text=OK' \
    'id=2 text=Cancel'; do
    expect "editor control $want" grep -qxF -- "$want" <<<"$text"
  done
  expect_fields "the text filters dialog waits (disabled)" "$(drv window-info "${dlg[@]}")" enabled=0
  drv set-child-text "${pair[@]}" "#${IDC_SUBST_REPLACE}" 'kept' >/dev/null
  drv click-button "${pair[@]}" --post OK 5000 >/dev/null
  text=$(drv window-text "${box[@]}" 10000) || { echo "  FAILED: no box for the empty find"; return 1; }
  echo "$text" | sed 's/^/    /'
  expect "the box tells the find text cannot be empty" grep -qx 'child class=Static id=[0-9]* text=The text to find cannot be empty.' <<<"$text"
  drv click-button "${box[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${box[@]}" 5000 >/dev/null
  expect_fields "the editor stays open" "$(drv window-info "${pair[@]}")" visible=1
  expect "with the replace text kept" grep -qxF "id=${IDC_SUBST_REPLACE} text=kept" \
    <<<"$(drv window-text "${pair[@]}" 5000 | sed 's/^child class=[^ ]* //')"
  pair_ok "$(esc "$heart_smile")" heart
  expect_fields "the dialog is enabled again" "$(drv window-info "${dlg[@]}")" enabled=1
  expect_eq "the pair is the list's first row, selected; U+2665 and a surrogate pair intact" \
    "$(filter_rows ${IDC_FILTERS_BEFORELIST})" "row=0 selected=1 text=$heart_smile|heart"
  drv click-button "${dlg[@]}" --post Add 5000 >/dev/null
  drv wait-window "${pair[@]}" 5000 >/dev/null
  pair_ok 'a  b' ''
  expect_eq "a second pair (empty replace) after it" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" \
    "$(printf 'row=0 selected=0 text=%s|heart\nrow=1 selected=1 text=a  b|' "$heart_smile")"

  # Edit shows the selected pair and writes it back in its place.
  drv select-row "${dlg[@]}" ${IDC_FILTERS_BEFORELIST} 0 >/dev/null
  drv click-button "${dlg[@]}" --post Edit 5000 >/dev/null
  drv wait-window "${pair[@]}" 5000 >/dev/null
  text=$(drv window-text "${pair[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the editor shows the first pair" grep -qxF "id=${IDC_SUBST_FIND} text=$heart_smile" <<<"$text"
  expect "with its replace text" grep -qxF "id=${IDC_SUBST_REPLACE} text=heart" <<<"$text"
  pair_ok "$(esc "$heart_smile")" "$(esc 'HEART ♥')"
  expect_eq "edited in place" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" \
    "$(printf 'row=0 selected=1 text=%s|HEART ♥\nrow=1 selected=0 text=a  b|' "$heart_smile")"
  # Without a selected row, Edit and Delete do nothing.
  drv select-row "${dlg[@]}" ${IDC_FILTERS_BEFORELIST} -1 >/dev/null
  drv click-button "${dlg[@]}" --post Edit 5000 >/dev/null
  drv click-button "${dlg[@]}" Delete 5000 >/dev/null
  sleep 0.5
  expect_eq "no editor without a selected row" "$(drv count-windows "${pair[@]}")" count=0
  expect_eq "nothing deleted without a selected row" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" \
    "$(printf 'row=0 selected=0 text=%s|HEART ♥\nrow=1 selected=0 text=a  b|' "$heart_smile")"
  drv select-row "${dlg[@]}" ${IDC_FILTERS_BEFORELIST} 0 >/dev/null
  drv click-button "${dlg[@]}" Delete 5000 >/dev/null
  expect_eq "Delete removes the selected row; the next one takes its place" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" \
    'row=0 selected=1 text=a  b|'

  # After translation: its own list and buttons (the second "Add" is 2110); a
  # double-click edits a row, and the editor's Cancel keeps the pair as it was.
  drv click-button "${dlg[@]}" --post "#${IDC_FILTERS_AFTERADD}" 5000 >/dev/null
  drv wait-window "${pair[@]}" 5000 >/dev/null
  pair_ok color colour
  drv click-button "${dlg[@]}" --post "#${IDC_FILTERS_AFTERADD}" 5000 >/dev/null
  drv wait-window "${pair[@]}" 5000 >/dev/null
  pair_ok "$(esc '한국어')" "$(esc '♥ & ♦')"
  expect_eq "the after list in the order added" "$(filter_rows ${IDC_FILTERS_AFTERLIST})" \
    "$(printf 'row=0 selected=0 text=color|colour\nrow=1 selected=1 text=한국어|♥ & ♦')"
  expect_eq "the before list untouched" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" 'row=0 selected=1 text=a  b|'
  local cx cy
  read -r cx cy <<<"$(client_origin "$info")"
  # Row 0 of the after list: below its column header (the list starts 258 px down).
  xdotool mousemove $((cx + 80)) $((cy + 258 + 32)) click --repeat 2 --delay 80 1
  expect "a double-click opens the editor" drv wait-window "${pair[@]}" 5000
  expect "on the row clicked" grep -qxF "id=${IDC_SUBST_FIND} text=color" \
    <<<"$(drv window-text "${pair[@]}" 5000 | sed 's/^child class=[^ ]* //')"
  drv set-child-text "${pair[@]}" "#${IDC_SUBST_REPLACE}" 'discarded' >/dev/null
  drv click-button "${pair[@]}" Cancel 5000 >/dev/null
  drv wait-window-gone "${pair[@]}" 5000 >/dev/null
  expect_eq "the editor's Cancel changes nothing" "$(filter_rows ${IDC_FILTERS_AFTERLIST})" \
    "$(printf 'row=0 selected=1 text=color|colour\nrow=1 selected=0 text=한국어|♥ & ♦')"

  # The glossary: the same editor, worded for a term and its translation.
  local term=(--exact --class '#32770' 'Glossary entry')
  drv click-button "${dlg[@]}" --post "#${IDC_FILTERS_GLOSSARYADD}" 5000 >/dev/null
  expect "the glossary's Add opens the editor" drv wait-window "${term[@]}" 5000
  text=$(drv window-text "${term[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "worded for the glossary" grep -qxF "id=${IDC_SUBST_FINDLABEL} text=Term" <<<"$text"
  expect "and the translation" grep -qxF "id=${IDC_SUBST_REPLACELABEL} text=Translation" <<<"$text"
  drv click-button "${term[@]}" --post OK 5000 >/dev/null
  text=$(drv window-text "${box[@]}" 10000) || { echo "  FAILED: no box for the empty term"; return 1; }
  expect "an empty term is refused" grep -qx 'child class=Static id=[0-9]* text=The term cannot be empty.' <<<"$text"
  drv click-button "${box[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${box[@]}" 5000 >/dev/null
  drv set-child-text "${term[@]}" "#${IDC_SUBST_FIND}" "$(esc ハル)" >/dev/null
  drv set-child-text "${term[@]}" "#${IDC_SUBST_REPLACE}" 'Haru' >/dev/null
  drv click-button "${term[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${term[@]}" 5000 >/dev/null
  expect_eq "the glossary list holds the term" "$(filter_rows ${IDC_FILTERS_GLOSSARYLIST})" 'row=0 selected=1 text=ハル|Haru'
  drv click-button "${dlg[@]}" 'Collapse letters written two to four times (aabbcc: abc)' 5000 >/dev/null
  drv click-button "${dlg[@]}" 'Do not show a text equal to the one before it' 5000 >/dev/null
  sleep 0.5   # painted
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-text-filters.png
  expect "dialog screenshot written" [ -s screenshot-text-filters.png ]
  drv click-button "${dlg[@]}" OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect_fields "the main window is enabled again" "$(drv window-info)" enabled=1

  # Reopened from the log view's menu: everything OK took is shown again.
  local kept_before kept_after
  kept_before='row=0 selected=0 text=a  b|'
  kept_after=$(printf 'row=0 selected=0 text=color|colour\nrow=1 selected=0 text=한국어|♥ & ♦')
  drv post-command $popup_cmd >/dev/null
  expect "the context menu's Text filters.. opens it" drv wait-window "${dlg[@]}" 10000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "OK kept the first check box" grep -qE "^id=${IDC_FILTERS_REPEATCHARS} check=1 " <<<"$text"
  expect "OK kept the second one off" grep -qE "^id=${IDC_FILTERS_REPEATPHRASE} check=0 " <<<"$text"
  expect "OK kept the third check box" grep -qE "^id=${IDC_FILTERS_SKIPREPEAT} check=1 " <<<"$text"
  expect_eq "OK kept the before list" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" "$kept_before"
  expect_eq "OK kept the after list" "$(filter_rows ${IDC_FILTERS_AFTERLIST})" "$kept_after"
  expect_eq "OK kept the glossary" "$(filter_rows ${IDC_FILTERS_GLOSSARYLIST})" 'row=0 selected=0 text=ハル|Haru'

  # Changes closed with Cancel, Escape or the close box are dropped.
  local how
  for how in Cancel Escape close-box; do
    drv click-button "${dlg[@]}" 'Collapse a phrase written twice or more (abcabc: abc)' 5000 >/dev/null
    drv select-row "${dlg[@]}" ${IDC_FILTERS_AFTERLIST} 1 >/dev/null
    drv click-button "${dlg[@]}" "#${IDC_FILTERS_AFTERDELETE}" 5000 >/dev/null
    drv click-button "${dlg[@]}" --post Add 5000 >/dev/null
    drv wait-window "${pair[@]}" 5000 >/dev/null
    pair_ok dropped dropped
    expect_eq "$how: the changes are shown before closing" "$(filter_rows ${IDC_FILTERS_BEFORELIST} | tail -n 1) / $(filter_rows ${IDC_FILTERS_AFTERLIST})" \
      'row=1 selected=1 text=dropped|dropped / row=0 selected=1 text=color|colour'
    case $how in
    Cancel) drv click-button "${dlg[@]}" Cancel 5000 >/dev/null ;;
    Escape)
      xdotool windowfocus --sync "$(xdotool search --name '^Text filters$' | sed -n 1p)"
      xdotool key Escape
      ;;
    close-box) drv close-window "${dlg[@]}" >/dev/null ;;
    esac
    expect "$how closes it" drv wait-window-gone "${dlg[@]}" 5000
    drv post-command $options_cmd >/dev/null
    drv wait-window "${dlg[@]}" 10000 >/dev/null
    expect "$how: the second check box is off again" grep -qE "^id=${IDC_FILTERS_REPEATPHRASE} check=0 " \
      <<<"$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')"
    expect_eq "$how: the before list as OK left it" "$(filter_rows ${IDC_FILTERS_BEFORELIST})" "$kept_before"
    expect_eq "$how: the after list as OK left it" "$(filter_rows ${IDC_FILTERS_AFTERLIST})" "$kept_after"
  done
  drv click-button "${dlg[@]}" Cancel 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  expect "closes with exit code 0" app_close
  expect_eq "the glossary is written at exit" "$(ini_get KestruneEX.ini Glossary G0)" "$(hex_text ハル),$(hex_text Haru)"
  expect_eq "and only that" "$(ini_dump KestruneEX.ini | grep -c '^Glossary\.')" 1
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-text-filters.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# --- global hotkeys, pressed while another program's window has the keyboard

KX_OTHER_TITLE=kx-e2e-other-window
KX_OTHER_CLASS=KxE2eOtherWindow

# Opens the driver's own plain window (a game's stand-in) at x y w h, for two
# minutes; what it receives (hotkeys, clicks) goes to other.out. Options
# before the bounds: --hotkey <MOD_ flags> <vk> holds that hotkey.
other_start() {
  (exec wine "$KX_DRIVER" other-window "${@:1:$#-4}" "$KX_OTHER_TITLE" "${@: -4}" 120000 >other.out 2>&1) &
  OTHER_PID=$!
  drv wait-window --exact --class $KX_OTHER_CLASS "$KX_OTHER_TITLE" 30000 >/dev/null
}

other_stop() {
  drv close-window --exact "$KX_OTHER_TITLE" >/dev/null
  wait "$OTHER_PID"
  OTHER_PID=
}

# Gives the other window the X keyboard focus and checks that Wine agrees.
other_focus() {
  local id info
  id=$(xdotool search --name "^${KX_OTHER_TITLE}\$" | sed -n 1p)
  [[ -n $id ]] || { echo "no X window for $KX_OTHER_TITLE"; return 1; }
  # Wine moves the X focus to its foreground window; xdotool then agrees.
  drv activate --exact --class $KX_OTHER_CLASS "$KX_OTHER_TITLE" >/dev/null
  xdotool windowfocus --sync "$id"
  local deadline=$((SECONDS + 10))
  until info=$(drv focus-info) && [[ $info == *"foreground="*"($KX_OTHER_CLASS)"* ]]; do
    ((SECONDS < deadline)) || { echo "the other window did not become the foreground window: $info"; return 1; }
    sleep 0.1
  done
}

# Waits until the main window's window-info line has every key=value word.
wait_info() { # word... (timeout 10 s)
  local deadline=$((SECONDS + 10)) info w ok
  while :; do
    info=$(drv window-info) || return 1
    ok=1
    for w in "$@"; do [[ " $info " == *" $w "* ]] || ok=0; done
    ((ok)) && return 0
    ((SECONDS < deadline)) || { echo "    window-info never had $*: $info"; return 1; }
    sleep 0.1
  done
}

# Presses keys through the X server (the other window has the focus), then the
# ShowHide hotkey twice, waiting for the main window to hide and to show:
# hotkeys reach the main window in the order pressed, so once it has hidden
# the keys before have been handled.
hotkeys() {
  xdotool key --delay 40 "$@" ctrl+alt+h
  wait_info visible=0 || { echo "    ctrl+alt+h after '$*' did not hide the main window"; return 1; }
  xdotool key ctrl+alt+h
  wait_info visible=1 || { echo "    ctrl+alt+h did not show the main window again"; return 1; }
}

# Each default hotkey with another program's window in the foreground:
# monitoring and translation off and on, subtitle mode in and out, the main
# window hidden and shown; the keyboard stays with the other program.
scenario_hotkeys_global() {
  write_ini '[Agth]' 'AgthATrun=0' '[WindowsPos]' 'MainLeft=100' 'MainTop=100'
  app_start
  app_ready
  other_start 300 400 500 300
  expect "the other program's window has the keyboard" other_focus
  expect "no hotkey line at start-up" drv wait-log-ends-with "$(esc $'\r\nInitialize the Translation Engine ..... Success')" 5000
  clip 'captured before'
  drv wait-log-ends-with "$(esc $'\r\ncaptured before')" 5000 >/dev/null

  expect "Ctrl+Alt+M: monitoring off" hotkeys ctrl+alt+m
  clip 'copied while off'
  expect "Ctrl+Alt+M again: monitoring on" hotkeys ctrl+alt+m
  clip 'captured after Ctrl+Alt+M'
  expect "capture resumes after the second Ctrl+Alt+M" drv wait-log-ends-with "$(esc $'before\r\ncaptured after Ctrl+Alt+M')" 5000
  expect "nothing captured while off" drv log-lacks "copied while off"

  expect "Ctrl+Alt+T: translation off" hotkeys ctrl+alt+t
  clip "$(sjis こんにちは)"
  expect "not translated" drv wait-log-ends-with "$(esc $'Ctrl+Alt+M\r\nこんにちは')" 5000
  expect "Ctrl+Alt+T again: translation on" hotkeys ctrl+alt+t
  clip "$(sjis さようなら)"
  expect "translated again" drv wait-log-ends-with "$(esc $'こんにちは\r\n사요우나라')" 5000

  xdotool key ctrl+alt+s
  expect "Ctrl+Alt+S: subtitle mode" wait_info popup=1 caption=0 menu=0 topmost=1 transparent=0
  clip 'a subtitle'
  expect "subtitle mode replaces the text" drv wait-log-equals 'a subtitle' 5000
  xdotool key ctrl+alt+s
  expect "Ctrl+Alt+S again: the normal frame" wait_info popup=0 caption=1 menu=1 topmost=0

  xdotool key ctrl+alt+h
  expect "Ctrl+Alt+H: hidden" wait_info visible=0
  clip 'captured while hidden'
  expect "captures go on while hidden" drv wait-log-ends-with "$(esc $'a subtitle\r\ncaptured while hidden')" 5000
  xdotool key ctrl+alt+h
  expect "Ctrl+Alt+H again: shown" wait_info visible=1 popup=0 rect=100,100,640,200
  local focus
  focus=$(drv focus-info)
  echo "    $focus"
  expect "the other program keeps the keyboard" grep -q "foreground=[^ ]*($KX_OTHER_CLASS)" <<<"$focus"
  expect_eq "no hotkey reached the other window" "$(grep -c '^hotkey' other.out)" 0
  expect "no hotkey line in the log" drv log-lacks Hotkey
  expect "closes with exit code 0" app_close
  other_stop
  expect "[Hotkeys] written with the defaults" diff <(ini_dump KestruneEX.ini | grep '^Hotkeys\.') \
    <(printf 'Hotkeys.%s\n' Monitoring=Ctrl+Alt+M Translation=Ctrl+Alt+T Subtitle=Ctrl+Alt+S ClickThrough=Ctrl+Alt+C ShowHide=Ctrl+Alt+H \
      Retranslate=Ctrl+Alt+R HideUntilNext=Ctrl+Alt+X)
}

# Click-through in subtitle mode: the context menu's item and Ctrl+Alt+C add
# and remove WS_EX_TRANSPARENT, the user's transparency stays; clicks on the
# strip reach the window below; leaving subtitle mode ends it, the choice is
# remembered for the next time and at exit.
scenario_hotkeys_click_through() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[WindowsTransparent]' 'MainABV=200' \
    '[WindowsPos]' 'MainLeft=100' 'MainTop=500' 'MainWidth=600' 'MainHeight=80'
  app_start
  app_ready
  # The other window lies under the strip.
  other_start 60 420 700 300
  expect "normal window: layered with the user's alpha, not click-through" wait_info layered=1 alpha=200 transparent=0
  drv command $KX_CMD_CLICKTHROUGH >/dev/null
  expect "the menu command does nothing outside subtitle mode" wait_info transparent=0
  expect "the other program's window has the keyboard" other_focus
  xdotool key ctrl+alt+c
  xdotool key ctrl+alt+s
  # The strip is one picture with per-pixel alpha: layered, with no window-wide alpha.
  expect "Ctrl+Alt+C outside subtitle mode does nothing; Ctrl+Alt+S enters it" wait_info popup=1 layered=1 transparent=0
  clip 'Click-through: the strip lets the mouse through.'
  drv wait-log-equals 'Click-through: the strip lets the mouse through.' 5000 >/dev/null
  # The context menu over the strip, with the item enabled; chosen with its
  # access key (the strip has the keyboard for that).
  xdotool windowfocus --sync "$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)"
  xdotool mousemove 300 540 click 3
  sleep 1
  import -window root -crop 760x360+40+400 +repage -strip screenshot-click-through-menu.png
  expect "context menu screenshot written" [ -s screenshot-click-through-menu.png ]
  xdotool key u
  expect "the menu item: click-through on" wait_info popup=1 layered=1 transparent=1
  xdotool mousemove 300 540 click 1
  expect "a click on the strip reaches the window below" wait_file_line other.out '^click ' 10
  expect "the other program's window has the keyboard again" other_focus
  xdotool key ctrl+alt+c
  expect "Ctrl+Alt+C: click-through off, still layered" wait_info popup=1 layered=1 transparent=0
  xdotool key ctrl+alt+c
  expect "Ctrl+Alt+C again: click-through on" wait_info popup=1 transparent=1
  xdotool key ctrl+alt+s
  expect "leaving subtitle mode ends click-through, keeps the alpha" wait_info popup=0 transparent=0 layered=1 alpha=200
  xdotool key ctrl+alt+s
  expect "entering again: click-through as left" wait_info popup=1 transparent=1
  xdotool key ctrl+alt+s
  expect "normal frame again" wait_info popup=0 transparent=0
  expect "closes with exit code 0" app_close
  expect_eq "ClickThrough saved as on" "$(ini_get KestruneEX.ini Setting ClickThrough)" 1
  expect_eq "MainABV kept" "$(ini_get KestruneEX.ini WindowsTransparent MainABV)" 200

  # Without transparency the strip is layered only while it lets clicks through.
  sed -i 's/^MainABV=.*/MainABV=0\r/' KestruneEX.ini
  app_start
  app_ready
  expect "no alpha: not layered" wait_info layered=0 transparent=0
  drv command $KX_CMD_SUBTITLE >/dev/null
  expect "subtitle mode starts click-through (remembered)" wait_info popup=1 layered=1 transparent=1
  expect "the other program's window has the keyboard" other_focus
  xdotool key ctrl+alt+c
  expect "Ctrl+Alt+C: clicks taken again, the strip still its own picture" wait_info popup=1 layered=1 transparent=0
  expect "closes with exit code 0" app_close
  expect_eq "ClickThrough saved as off" "$(ini_get KestruneEX.ini Setting ClickThrough)" 0
  other_stop
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-click-through-menu.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Hotkeys from the settings file, one held by another program and one that
# does not read: one log line each, the others still work.
scenario_hotkeys_taken_and_changed() {
  write_ini '[Agth]' 'AgthATrun=0' '[Hotkeys]' 'Monitoring=Ctrl+Shift+F9' 'Subtitle=Ctrl+Bogus' 'ClickThrough='
  # Another program holds Ctrl+Alt+T (MOD_ALT | MOD_CONTROL, 'T') before the start.
  other_start --hotkey 3 0x54 300 400 500 300
  expect "the other program holds Ctrl+Alt+T" wait_file_line other.out '^hotkey-registered=1$' 10
  app_start
  app_ready
  local lines
  mapfile -t lines < <(log_lines)
  printf '    | %s\n' "${lines[@]}"
  expect_eq "five lines" "${#lines[@]}" 5
  expect_eq "the taken hotkey's line" "${lines[3]}" \
    "Hotkey Ctrl+Alt+T (Translation) could not be registered: another program uses it."
  expect_eq "the unreadable hotkey's line" "${lines[4]}" \
    "Hotkey Ctrl+Bogus (Subtitle) could not be read: \"Bogus\" is not a key name."
  expect_eq "no error box" "$(drv count-windows --exact --class '#32770' Error)" "count=0"
  expect "the other program's window has the keyboard" other_focus

  expect "Ctrl+Alt+T goes to the program that holds it" hotkeys ctrl+alt+t
  expect "it got the hotkey" wait_file_line other.out '^hotkey id=1 count=1$' 10
  clip "$(sjis こんにちは)"
  expect "translation still on" drv wait-log-ends-with "$(esc $'\r\n콘니치하')" 5000

  expect "Ctrl+Alt+M is no hotkey of ours any more" hotkeys ctrl+alt+m
  clip 'captured after Ctrl+Alt+M'
  expect "monitoring still on" drv wait-log-ends-with "$(esc $'콘니치하\r\ncaptured after Ctrl+Alt+M')" 5000
  expect "Ctrl+Shift+F9: monitoring off" hotkeys ctrl+shift+F9
  clip 'copied while off'
  expect "Ctrl+Shift+F9 again: monitoring on" hotkeys ctrl+shift+F9
  clip 'captured after Ctrl+Shift+F9'
  expect "capture resumes" drv wait-log-ends-with "$(esc $'Ctrl+Alt+M\r\ncaptured after Ctrl+Shift+F9')" 5000
  expect "nothing captured while off" drv log-lacks "copied while off"
  xdotool key ctrl+alt+s ctrl+alt+c
  expect "the unreadable and the empty hotkey do nothing" hotkeys
  expect "still the normal frame" wait_info popup=0 transparent=0
  expect "closes with exit code 0" app_close
  other_stop
  expect_eq "the other program got Ctrl+Alt+T once" "$(tail -n 1 other.out)" "closed hotkeys=1 clicks=0"
  expect_eq "Monitoring kept" "$(ini_get KestruneEX.ini Hotkeys Monitoring)" Ctrl+Shift+F9
  expect_eq "the unreadable text kept as written" "$(ini_get KestruneEX.ini Hotkeys Subtitle)" Ctrl+Bogus
  expect_eq "the empty hotkey kept empty" "$(ini_get KestruneEX.ini Hotkeys ClickThrough)" ""
  expect_eq "a missing one written with its default" "$(ini_get KestruneEX.ini Hotkeys Translation)" Ctrl+Alt+T
}

# Captures of 5 and 50 MB shown in pieces while the window keeps answering,
# the log ending with each capture's last letters.
scenario_log_view_big_and_copy() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  local mb units probe
  for mb in 5 50; do
    units=$((mb * 1000 * 1000 / 2))
    drv set-clipboard-repeat $((units / 10)) "$(esc "あいうえお${mb}MBend")" >/dev/null
    # The window answers while the capture is shown and after it.
    probe=$(drv probe-answers 3000 100)
    echo "  $mb MB: $probe"
    expect_fields "$mb MB: the window never stopped answering" "$probe" over-1s=0
    expect "$mb MB: the log ends with the capture's last characters" \
      drv wait-log-ends-with "$(esc "えお${mb}MBend")" 30000
  done
  drv command $KX_CMD_ASCII >/dev/null
  clip 'short line'
  expect "a short line after them" drv wait-log-ends-with "$(esc $'\r\nshort line')" 5000
  # Ctrl+A, Ctrl+C in the log: the log on the clipboard, and no new line.
  drv command $ID_POPUP_CLEARTEXT >/dev/null
  clip 'only line'
  drv wait-log-equals "$(esc $'only line\r\n')" 5000 >/dev/null
  local id
  id=$(xdotool search --sync --onlyvisible --name "^${KX_TITLE}\$" | sed -n 1p)
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool mousemove --window "$id" 60 80 click 1
  xdotool key ctrl+a ctrl+c
  local copied= i
  for i in $(seq 50); do
    copied=$(drv get-clipboard 2>/dev/null || true)
    [[ $copied == 'clipboard=only line\x0D\x0A' ]] && break
    sleep 0.1
  done
  expect_eq "the clipboard holds the log" "$copied" 'clipboard=only line\x0D\x0A'
  sleep 1
  expect "the program's own copy is not captured again" drv wait-log-equals "$(esc $'only line\r\n')" 2000
  expect "closes with exit code 0" app_close
}

scenario_subtitle_stays_on_top() {
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' \
    '[WindowsPos]' 'MainLeft=100' 'MainTop=500' 'MainWidth=600' 'MainHeight=80'
  app_start
  app_ready
  drv command $KX_CMD_SUBTITLE >/dev/null
  clip 'The strip stays above the game.'
  drv wait-log-equals 'The strip stays above the game.' 5000 >/dev/null
  # A game that makes itself top-most and takes the foreground, over the strip.
  other_start --topmost 60 420 700 300
  local above
  above=$(drv main-above "$KX_OTHER_TITLE" 1000)
  echo "  $above"
  expect "the strip is above the top-most window again within a second" [ -n "$above" ]
  local focus
  focus=$(drv focus-info)
  expect "raised without taking the foreground from the other program" grep -qF "($KX_OTHER_CLASS)" <<<"$focus"
  other_stop
  expect "closes with exit code 0" app_close
}

# How many pixels of a colour (ImageMagick's "#RRGGBB") an image holds.
pixels_of() { # file colour
  convert "$1" -format %c histogram:info:- | awk -v c="$2" 'index($0, c) { n += $1 } END { print n + 0 }'
}

scenario_subtitle_strip_look() {
  # Yellow letters, a red outline, a navy background that the track bar makes
  # fully transparent: over a white window on the left and the black desktop
  # on the right.
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' \
    '[Setting]' 'TBgColor=clNavy' 'TMainFont=Tahoma,clYellow,16,d,b' \
    '[Subtitle]' 'OutlineColor=clRed' 'OutlineWidth=2' 'Shadow=0' \
    '[WindowsPos]' 'MainLeft=100' 'MainTop=500' 'MainWidth=800' 'MainHeight=90'
  other_start 0 400 500 300
  app_start
  app_ready
  drv command $KX_CMD_SUBTITLE >/dev/null
  clip 'WWWW MMMM Readable over any game, bright or dark: WWWW MMMM'
  drv wait-log-equals 'WWWW MMMM Readable over any game, bright or dark: WWWW MMMM' 5000 >/dev/null
  local dlg=(--exact --class '#32770' 'Advanced Setting')
  drv post-command $KX_CMD_ADVANCED >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null
  drv set-trackbar "${dlg[@]}" 255 >/dev/null
  drv click-button "${dlg[@]}" OK 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  sleep 1
  import -window root -crop 400x90+100+500 +repage -strip strip-over-bright.png
  import -window root -crop 400x90+500+500 +repage -strip strip-over-dark.png
  local side
  for side in bright dark; do
    echo "  over $side: yellow=$(pixels_of strip-over-$side.png '#FFFF00') red=$(pixels_of strip-over-$side.png '#FF0000')" \
      "white=$(pixels_of strip-over-$side.png '#FFFFFF') black=$(pixels_of strip-over-$side.png '#000000')" \
      "navy=$(pixels_of strip-over-$side.png '#000080')"
    expect "over $side: the letters in the text colour" [ "$(pixels_of strip-over-$side.png '#FFFF00')" -gt 200 ]
    expect "over $side: their outline in the outline colour" [ "$(pixels_of strip-over-$side.png '#FF0000')" -gt 200 ]
    expect "over $side: no background left at the track bar's end" [ "$(pixels_of strip-over-$side.png '#000080')" -eq 0 ]
  done
  expect "over bright: the window below between the letters" [ "$(pixels_of strip-over-bright.png '#FFFFFF')" -gt 5000 ]
  expect "over dark: the desktop below between the letters" [ "$(pixels_of strip-over-dark.png '#000000')" -gt 5000 ]
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    import -window root -crop 840x130+80+480 +repage -strip "$KX_E2E_SCREENSHOTS/screenshot-strip.png"
  fi
  other_stop
  expect "closes with exit code 0" app_close
}

# A translation server as the engine: named at start-up instead of ezTrans,
# asked with the exact request body in UTF-8, its answer shown whole; when it
# is down, the text untranslated and one reason line per ten seconds.
scenario_translation_server() {
  chat_server_start fast
  local url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions" lines want text
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' "Url=$url" 'Model=test-model'
  app_start
  app_ready
  mapfile -t lines < <(log_lines)
  printf '    | %s\n' "${lines[@]}"
  expect_eq "three start-up lines" "${#lines[@]}" 3
  expect_eq "line 3 names the server, not ezTrans" "${lines[2]}" "Translation server: $url"
  clip "$(sjis こんにちは)"
  expect "translated by the server and shown whole" drv wait-log-ends-with "$(esc $'\r\nKO:こんにちは')" 10000
  want='{"max_tokens":512,"messages":[{"content":"Translate the user'"'"'s Japanese game text into natural Korean. Reply with the translation only.","role":"system"},{"content":"こんにちは","role":"user"}],"model":"test-model","stream":true,"temperature":0}'
  expect "the request body exactly, in UTF-8, no full stop" cmp fast/request-1.body <(printf '%s' "$want")
  expect_eq "posted to the URL's path" "$(chat_request_header fast/request-1.json path)" /v1/chat/completions
  expect_eq "as JSON" "$(chat_request_header fast/request-1.json content_type)" 'application/json; charset=utf-8'
  expect_eq "no key, no Authorization" "$(chat_request_header fast/request-1.json authorization)" ''
  # Unicode text keeps every character on its way there and back.
  drv command $KX_CMD_UNICODE >/dev/null
  text='♥😀 한국어 テスト "q" \ end'
  clipu "$text"
  expect "Unicode text translated" drv wait-log-ends-with "$(esc $'\r\nKO:'"$text")" 10000
  expect_eq "the request held it intact" "$(chat_request_text fast/request-2.body)" "$text"
  # The server goes away.
  chat_server_stop
  clipu 'サーバーなし'
  expect "shown untranslated, then the reason" drv wait-log-contains "$(esc $'\r\nサーバーなし\r\nTranslation server: ')" 15000
  mapfile -t lines < <(log_lines)
  echo "    reason: ${lines[-1]}"
  clipu 'まだなし'
  expect "the next text untranslated too" drv wait-log-ends-with "$(esc $'\r\nまだなし')" 15000
  expect_eq "one reason line within ten seconds" "$(log_lines | grep -c '^Translation server: ' )" 2
  expect_eq "no box" "$(drv count-windows --class '#32770')" "count=0"
  expect "closes with exit code 0" app_close
  expect_eq "Engine.Kind" "$(ini_get KestruneEX.ini Engine Kind)" Server
  expect_eq "Engine.Url" "$(ini_get KestruneEX.ini Engine Url)" "$url"
  expect_eq "Engine.Model" "$(ini_get KestruneEX.ini Engine Model)" test-model
}

# The stand-in ezTrans as the draft, a server that takes two seconds as the main
# engine: each line shows its draft at once and the server's answer takes
# its place in the same line, in read order; the menu that chose them.
scenario_engine_draft_replaced() {
  chat_server_start slow --delay 2
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[WindowsPos]' 'MainLeft=40' 'MainTop=40' \
    'MainWidth=640' 'MainHeight=230' '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" \
    'Stream=0'
  app_start
  app_ready
  drv command $ID_ENGINE_DRAFT_EZTRANS >/dev/null
  local rect x y w h
  clip "$(sjis こんにちは)"
  expect "the draft at once, as its own line" drv wait-log-ends-with "$(esc $'Success\r\n콘니치하')" 900
  clip "$(sjis さようなら)"
  clip "$(sjis ありがとう)"
  expect "the drafts of the lines behind it, before its answer" drv wait-log-ends-with "$(esc $'\r\n콘니치하\r\n사요우나라\r\n아리가토우')" 900
  expect "the server's answer in the first line's place" drv wait-log-ends-with "$(esc $'\r\nKO:こんにちは\r\n사요우나라\r\n아리가토우')" 5000
  rect=$(drv window-info | grep -o 'rect=[^ ]*')
  IFS=, read -r x y w h <<<"${rect#rect=}"
  import -window root -crop "$((w + 20))x$((h + 20))+$((x - 10))+$((y - 10))" +repage -strip screenshot-draft-replaced.png
  expect "every line replaced in its place" drv wait-log-ends-with "$(esc $'Success\r\nKO:こんにちは\r\nKO:さようなら\r\nKO:ありがとう')" 10000
  expect_eq "three requests, one per line" "$(ls slow/request-*.body | wc -l)" 3
  # The menu as the user sees it: Options > Translation engine (under Wine a
  # radio bullet is not drawn again once a submenu of its menu opens).
  xdotool windowfocus --sync "$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)"
  xdotool key --delay 150 alt+o e
  sleep 0.5
  import -window root -crop 640x330+35+35 +repage -strip screenshot-engine-menu.png
  xdotool key --delay 50 Escape Escape Escape Escape
  expect "closes with exit code 0" app_close
  expect_eq "Engine.Draft" "$(ini_get KestruneEX.ini Engine Draft)" ezTrans
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-draft-replaced.png screenshot-engine-menu.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# KeepDraft=1: the draft's line stays, the main answer comes below it.
scenario_engine_keep_draft() {
  chat_server_start slow --delay 1
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0' 'Draft=ezTrans'
  app_start
  app_ready
  drv command $ID_ENGINE_KEEPDRAFT >/dev/null
  clip "$(sjis こんにちは)"
  clip "$(sjis さようなら)"
  expect "the drafts first" drv wait-log-ends-with "$(esc $'Success\r\n콘니치하\r\n사요우나라')" 3000
  expect "each answer below its draft" \
    drv wait-log-ends-with "$(esc $'Success\r\n콘니치하\r\nKO:こんにちは\r\n사요우나라\r\nKO:さようなら')" 10000
  expect "closes with exit code 0" app_close
  expect_eq "Engine.KeepDraft" "$(ini_get KestruneEX.ini Engine KeepDraft)" 1
}

# A server that answers 429 with the stand-in ezTrans as fallback: the line
# shows ezTrans's answer and the reason line, once within ten seconds.
scenario_engine_fallback() {
  chat_server_start busy --status 429
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0' 'Fallback=ezTrans'
  app_start
  app_ready
  clip "$(sjis こんにちは)"
  expect "the fallback's answer, then the reason" \
    drv wait-log-ends-with "$(esc $'\r\n콘니치하\r\nTranslation server: HTTP 429')" 10000
  clip "$(sjis さようなら)"
  expect "the next line by the fallback too" drv wait-log-ends-with "$(esc $'\r\n사요우나라')" 10000
  expect_eq "one reason line" "$(log_lines | grep -c '^Translation server: HTTP 429')" 1
  expect "closes with exit code 0" app_close
}

# A JSON field of a recorded request body ('text', 'context', ...), as JSON.
request_field() { python3 -c 'import json,sys; b=json.loads(open(sys.argv[1],"rb").read().decode("utf-8")); print(json.dumps(b.get(sys.argv[2]), ensure_ascii=False), end="")' "$1" "$2"; }

# Options > Translation engine > DeepL settings..: the key entered and tried
# with "Test" against a stand-in of the DeepL API on the loopback; DeepL as the
# main engine: the request's path, key header and body (the line before as
# context), the answer shown, the service's own error message in the reason.
scenario_engine_deepl() {
  chat_server_start deepl --api deepl
  local url="http://127.0.0.1:$CHAT_PORT/v2/translate" dlg=(--exact --class '#32770' DeepL) text
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[WindowsPos]' 'MainLeft=40' 'MainTop=40' \
    '[DeepL]' "Url=$url"
  app_start
  app_ready
  drv post-command $ID_ENGINE_DEEPLSETTINGS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "the URL from the file" grep -qxF -- "id=${IDC_SERVICE_URL} text=$url" <<<"$text"
  drv set-child-text "${dlg[@]}" "#${IDC_SERVICE_KEY}" 'deepl-test-key:fx' >/dev/null
  drv click-button "${dlg[@]}" --post Test 5000 >/dev/null
  expect "Test shows DeepL's answer" wait_child_text "${dlg[@]}" -- ${IDC_SERVICE_TESTRESULT} 'こんにちは → KO:こんにちは' 15000
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-deepl-settings.png
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  drv command $ID_ENGINE_DEEPL >/dev/null
  expect "DeepL named on the switch" drv wait-log-ends-with "$(esc $'\r\nDeepL: '"$url")" 5000
  clip "$(sjis 一行目)"
  expect "translated by DeepL" drv wait-log-ends-with "$(esc $'\r\nKO:一行目')" 10000
  clip "$(sjis 二行目)"
  expect "the second line too" drv wait-log-ends-with "$(esc $'\r\nKO:二行目')" 10000
  expect_eq "posted to /v2/translate" "$(chat_request_header deepl/request-2.json path)" /v2/translate
  expect_eq "the key in DeepL's header" "$(chat_request_header deepl/request-2.json authorization)" 'DeepL-Auth-Key deepl-test-key:fx'
  expect_eq "the line as text, no full stop" "$(request_field deepl/request-2.body text)" '["一行目"]'
  expect_eq "from Japanese" "$(request_field deepl/request-2.body source_lang)" '"JA"'
  expect_eq "into Korean" "$(request_field deepl/request-2.body target_lang)" '"KO"'
  expect_eq "no context for the first line" "$(request_field deepl/request-2.body context)" null
  expect_eq "the line before as context" "$(request_field deepl/request-3.body context)" '"一行目"'
  expect "closes with exit code 0" app_close
  local stored
  stored=$(ini_get KestruneEX.ini DeepL ApiKey)
  expect "DeepL's key is stored" [ ${#stored} -gt 20 ]
  expect "not in clear" bash -c "! grep -q deepl-test-key KestruneEX.ini"
  chat_server_stop
  chat_server_start quota --api deepl --status 456
  sed -i "s|^Url=$url|Url=http://127.0.0.1:$CHAT_PORT/v2/translate|" KestruneEX.ini
  app_start
  app_ready
  clip "$(sjis 三行目)"
  expect "a failure: untranslated, and DeepL's own words" \
    drv wait-log-contains "$(esc $'\r\n三行目\r\nDeepL: HTTP 456')" 10000
  local reason
  reason=$(log_lines | tail -n 1)
  echo "    reason: $reason"
  expect "the service's message in the reason" bash -c '[[ $1 == *"Quota exceeded"* ]]' _ "$reason"
  expect_eq "the key read back at the next start" "$(chat_request_header quota/request-1.json authorization)" 'DeepL-Auth-Key deepl-test-key:fx'
  expect "closes with exit code 0" app_close
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-deepl-settings.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Papago as the main engine against a stand-in of its API: the client ID and
# secret in their headers, the polite form asked for; then the same to a LAN
# name over plain http: neither goes, and the log says why.
scenario_engine_papago() {
  chat_server_start papago --api papago --bind 0.0.0.0
  local dlg=(--exact --class '#32770' Papago) hosts="$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts"
  local name=kx-lan-server.test
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Papago' \
    '[Papago]' "Url=http://127.0.0.1:$CHAT_PORT/nmt/v1/translation" 'KeyId=papago-id' 'Honorific=1'
  app_start
  app_ready
  drv post-command $ID_ENGINE_PAPAGOSETTINGS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  drv set-child-text "${dlg[@]}" "#${IDC_SERVICE_KEY}" 'papago-secret' >/dev/null
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-papago-settings.png
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  clip "$(sjis 一行目)"
  expect "translated by Papago" drv wait-log-ends-with "$(esc $'\r\nKO:一行目')" 10000
  expect_eq "posted to its path" "$(chat_request_header papago/request-1.json path)" /nmt/v1/translation
  expect_eq "the client ID" "$(chat_request_header papago/request-1.json key_id)" papago-id
  expect_eq "the client secret" "$(chat_request_header papago/request-1.json key)" papago-secret
  expect_eq "the body" "$(python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1],encoding="utf-8")), ensure_ascii=False, sort_keys=True), end="")' papago/request-1.body)" \
    '{"honorific": true, "source": "ja", "target": "ko", "text": "一行目"}'
  grep -q " $name" "$hosts" 2>/dev/null || printf '127.0.0.1 %s\r\n' "$name" >>"$hosts"
  wine ping -n 1 "$name" 2>/dev/null | grep -q '^Pinging' || name=$(hostname)
  drv post-command $ID_ENGINE_PAPAGOSETTINGS >/dev/null
  expect "the dialog again" drv wait-window "${dlg[@]}" 10000
  drv set-child-text "${dlg[@]}" "#${IDC_SERVICE_URL}" "http://$name:$CHAT_PORT/nmt/v1/translation" >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null
  clip "$(sjis 二行目)"
  local told='Papago: the API key is sent only over https or to this computer'
  expect "translated, and the log says where the key goes" drv wait-log-ends-with "$(esc $'\r\nKO:二行目\r\n'"$told")" 10000
  expect_eq "no client ID to $name" "$(chat_request_header papago/request-2.json key_id)" ''
  expect_eq "no client secret to $name" "$(chat_request_header papago/request-2.json key)" ''
  expect "closes with exit code 0" app_close
  expect_eq "Papago.KeyId" "$(ini_get KestruneEX.ini Papago KeyId)" papago-id
  expect_eq "Papago.Honorific" "$(ini_get KestruneEX.ini Papago Honorific)" 1
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-papago-settings.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Each game's memory and history on disk, without a profile (the (none)
# folder): a line translated in one run is shown in the next from the memory
# with no request, a pair written into memory.txt by hand is shown for its
# line, a line that cannot be read is told and kept; the program killed
# without closing after 20 lines: the history and the memory hold all 20.
scenario_game_memory() {
  chat_server_start mem --max-requests 1000
  local folder='Games/(none)' requests i lines
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu 一行目
  expect "translated by the server" drv wait-log-ends-with "$(esc $'\r\nKO:一行目')" 10000
  expect "kept in the memory" grep -qxF $'一行目\tKO:一行目\r' "$folder/memory.txt"
  drv post-command $ID_FILE_OPENHISTORYFOLDER >/dev/null
  expect "File > Open history folder shows the game's folder" \
    drv wait-window --exact --class ExplorerWClass '(none)' 15000
  drv close-window --exact --class ExplorerWClass '(none)' >/dev/null
  drv wait-window-gone --exact --class ExplorerWClass '(none)' 5000 >/dev/null
  expect "closes with exit code 0" app_close
  printf '%s\r\n' $'二行目\t手で直した行' 'no tab on this line' >>"$folder/memory.txt"
  cp "$folder/memory.txt" memory-before.txt
  app_start
  app_ready
  expect "the line that cannot be read is told" \
    drv wait-log-contains "$(esc 'Translation memory: 1 line of ')" 5000
  drv command $KX_CMD_UNICODE >/dev/null
  clipu 一行目
  expect "the line of the last run from the memory" drv wait-log-ends-with "$(esc $'\r\nKO:一行目')" 10000
  clipu 二行目
  expect "the pair written by hand" drv wait-log-ends-with "$(esc $'\r\n手で直した行')" 10000
  expect_eq "no request for either" "$(ls mem/request-*.body | wc -l)" 1
  expect "the file as it was: nothing rewritten at load" cmp "$folder/memory.txt" memory-before.txt
  for i in $(seq 1 20); do clipu "行$i"; done
  expect "the 20th line translated" drv wait-log-ends-with "$(esc $'\r\nKO:行20')" 20000
  drv terminate >/dev/null
  wait "$APP_PID" || true
  APP_PID=
  for i in $(seq 1 20); do
    grep -qxF "行$i"$'\tKO:行'"$i"$'\r' "$folder/memory.txt" || { echo "  FAILED: 行$i not in memory.txt"; return 1; }
    grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"$'\t'"行$i"$'\tKO:行'"$i"$'\r$' "$folder/history.txt" ||
      { echo "  FAILED: 行$i not in history.txt"; return 1; }
  done
  echo "  ok: killed after 20 lines: memory.txt and history.txt hold all 20"
  lines=$(grep -c . "$folder/history.txt")
  expect_eq "history: every captured line of both runs, none of the program's" "$lines" 23
  expect "the line that could not be read is still there" grep -q '^no tab on this line' "$folder/memory.txt"
}

# "Correct translation.." in the log's context menu, on the line under the
# mouse: an empty translation is refused with the reason; the correction
# takes the line's place and is shown from the memory in the next run.
scenario_memory_correction() {
  chat_server_start fix --max-requests 1000
  local dlg=(--exact --class '#32770' 'Correct translation') rect x y w h box
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[WindowsPos]' 'MainLeft=40' 'MainTop=40' \
    '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  drv command $KX_CMD_CLEARTEXT >/dev/null
  clipu 間違った行
  expect "translated by the server" drv wait-log-equals "$(esc $'KO:間違った行\r\n')" 10000
  rect=$(drv window-info | grep -o 'rect=[^ ]*')
  IFS=, read -r x y w h <<<"${rect#rect=}"
  xdotool windowfocus --sync "$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)"
  xdotool mousemove $((x + 40)) $((y + 52)) click 3
  sleep 0.5
  import -window root -crop 400x260+$((x))+$((y)) +repage -strip screenshot-correct-menu.png
  xdotool key o
  expect "the dialog opens on that line" drv wait-window "${dlg[@]}" 10000
  local text
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  expect "its source, read only" grep -qxF -- "id=${IDC_CORRECTION_SOURCE} text=間違った行" <<<"$text"
  expect "its translation to edit" grep -qxF -- "id=${IDC_CORRECTION_TRANSLATION} text=KO:間違った行" <<<"$text"
  drv set-child-text "${dlg[@]}" "#${IDC_CORRECTION_TRANSLATION}" ' ' >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  box=$(drv window-text --exact --class '#32770' Error 10000) || { echo "  FAILED: no box for an empty translation"; return 1; }
  expect "an empty translation is refused with the reason" grep -qF 'must not be empty' <<<"$box"
  drv click-button --exact --class '#32770' Error OK 5000 >/dev/null
  expect "the dialog stays open" drv wait-window "${dlg[@]}" 2000
  drv set-child-text "${dlg[@]}" "#${IDC_CORRECTION_TRANSLATION}" "$(esc '바로잡은 줄 ♥')" >/dev/null
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-correct-translation.png
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect "the correction in the line's place" drv wait-log-equals "$(esc $'바로잡은 줄 ♥\r\n')" 5000
  expect "and in the memory" grep -qxF $'間違った行\t바로잡은 줄 ♥\r' 'Games/(none)/memory.txt'
  expect "closes with exit code 0" app_close
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu 間違った行
  expect "the next run shows the correction" drv wait-log-ends-with "$(esc $'\r\n바로잡은 줄 ♥')" 10000
  expect_eq "the server asked once in all" "$(ls fix/request-*.body | wc -l)" 1
  expect "closes with exit code 0" app_close
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-correct-menu.png screenshot-correct-translation.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# With another program's window in front: Ctrl+Alt+R asks the main engine
# again for the newest line (one request more, the answer in its place);
# Ctrl+Alt+X hides the window until the next captured line, or until it is
# pressed again.
scenario_memory_hotkeys() {
  chat_server_start again --max-requests 1000
  local i
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[WindowsPos]' 'MainLeft=100' 'MainTop=100' \
    '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  other_start 300 400 500 300
  expect "the other program's window has the keyboard" other_focus
  clipu 最初の行
  expect "translated" drv wait-log-ends-with "$(esc $'\r\nKO:最初の行')" 10000
  xdotool key ctrl+alt+r
  for i in $(seq 100); do [[ -e again/request-2.body ]] && break; sleep 0.1; done
  expect_eq "Ctrl+Alt+R: the line asked again, past the memory" "$(ls again/request-*.body | wc -l)" 2
  expect "its answer in the line's place" drv wait-log-ends-with "$(esc $'\r\nKO:最初の行')" 10000
  expect_eq "one line for it" "$(log_lines | grep -c '^KO:最初の行$')" 1
  xdotool key ctrl+alt+s
  expect "Ctrl+Alt+S: the subtitle strip" wait_info popup=1 caption=0 topmost=1
  xdotool key ctrl+alt+x
  expect "Ctrl+Alt+X: the strip hidden" wait_info visible=0
  clipu 次の行
  expect "the next captured line brings it back" wait_info visible=1 popup=1
  expect "with that line" drv wait-log-equals "$(esc 'KO:次の行')" 10000
  xdotool key ctrl+alt+x
  expect "hidden again" wait_info visible=0
  xdotool key ctrl+alt+x
  expect "Ctrl+Alt+X again: back at once" wait_info visible=1
  xdotool key ctrl+alt+s
  expect "Ctrl+Alt+S again: the normal frame" wait_info popup=0 caption=1
  other_stop
  expect "closes with exit code 0" app_close
  expect_eq "Hotkeys.Retranslate" "$(ini_get KestruneEX.ini Hotkeys Retranslate)" Ctrl+Alt+R
}

# The page in a real browser (headless Chromium): the lines captured after it
# opened appear with their translations, a draft replaced in its place. Then
# the "Reading companion" dialog: the page's address as a link, the addresses
# for other devices, and a port in use said in the dialog and the log while
# the server goes on as it was.
scenario_companion_page() {
  chat_server_start slow --delay 1
  local port browser dlg=(--exact --class '#32770' 'Reading companion') text
  port=$(free_port)
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[WindowsPos]' 'MainLeft=40' 'MainTop=40' \
    'MainWidth=640' 'MainHeight=230' '[Engine]' 'Kind=Server' "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" \
    'Stream=0' 'Draft=ezTrans' '[Companion]' 'Enabled=1' "Port=$port"
  app_start
  app_ready
  drv wait-log-contains "$(esc "Reading companion: http://127.0.0.1:$port/")" 5000 >/dev/null
  cat >expect.json <<'JSON'
[{"source": "こんにちは", "shown": "KO:こんにちは", "draft": "콘니치하"},
 {"source": "さようなら", "shown": "KO:さようなら", "draft": "사요우나라"},
 {"source": "ありがとう", "shown": "KO:ありがとう"}]
JSON
  /usr/bin/python3 "$KX_COMPANION_BROWSER" --url "http://127.0.0.1:$port/" --expect expect.json --ready browser.ready \
    --screenshot screenshot-companion-page.png --timeout 30 >browser.out 2>&1 &
  browser=$!
  local i
  for i in $(seq 300); do [[ -e browser.ready ]] && break; kill -0 "$browser" 2>/dev/null || break; sleep 0.1; done
  expect "the page is connected" [ -e browser.ready ]
  clip "$(sjis こんにちは)"
  drv wait-log-ends-with "$(esc $'\r\n콘니치하')" 3000 >/dev/null
  clip "$(sjis さようなら)"
  clip "$(sjis ありがとう)"
  expect "the page shows each line with its translation, the drafts replaced in place" wait "$browser"
  sed 's/^/    /' browser.out
  expect "screenshot-companion-page.png written" [ -s screenshot-companion-page.png ]
  drv post-command $ID_OPTIONS_COMPANION >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  expect "the page's address as a link" grep -qxF -- "id=${IDC_COMPANION_LINK} text=<a>http://127.0.0.1:$port/</a>" <<<"$text"
  expect "this computer only" grep -qxF -- "id=${IDC_COMPANION_ADDRESSES} text=Only this computer can connect." <<<"$text"
  drv click-button "${dlg[@]}" --post 'Let other devices on this network connect' 5000 >/dev/null
  expect "the addresses for other devices" wait_child_text "${dlg[@]}" -- ${IDC_COMPANION_ADDRESSES} \
    "$(drv window-text "${dlg[@]}" 2000 | sed -n "s/^child class=[^ ]* id=${IDC_COMPANION_ADDRESSES} text=\(On a phone or tablet on this network, open:.*:$port\/\)$/\1/p" | head -n 1)" 3000
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-companion-dialog.png
  drv click-button "${dlg[@]}" --post 'Let other devices on this network connect' 5000 >/dev/null
  drv set-child-text "${dlg[@]}" "#${IDC_COMPANION_PORT}" "$CHAT_PORT" >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "a port in use is said in the dialog" wait_child_text "${dlg[@]}" -- ${IDC_COMPANION_STATUS} \
    "Reading companion: port $CHAT_PORT is in use" 5000
  expect "and in the log" drv wait-log-contains "$(esc "Reading companion: port $CHAT_PORT is in use")" 5000
  drv click-button "${dlg[@]}" --post Cancel 5000 >/dev/null
  expect "Cancel closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect "the page is still served on the port it had" python3 -c 'import sys, urllib.request
sys.exit(0 if b"reading companion" in urllib.request.urlopen(sys.argv[1], timeout=5).read() else 1)' "http://127.0.0.1:$port/"
  expect "closes with exit code 0" app_close
  expect_eq "Companion.Port as it was" "$(ini_get KestruneEX.ini Companion Port)" "$port"
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-companion-page.png screenshot-companion-dialog.png "$KX_E2E_SCREENSHOTS"/
  fi
}

# Two WebSocket sources and the clipboard at once: every line once, in the
# order it came, also a line a hooker gives both ways; the companion open to
# the network listens on every address, and the program ends within 2 s with
# a client that never reads.
scenario_companion_sources() {
  local port hooker_fd ocr_fd hooker_pid url1 url2
  # Unmanaged windows: a managed one takes Wine 2 s to close without a window manager.
  UNMANAGED=1
  wine reg add "$x11_driver_key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  ws_server_start hooker
  hooker_fd=$WS_FD hooker_pid=$WS_PID url1="ws://127.0.0.1:$WS_PORT"
  ws_server_start ocr
  ocr_fd=$WS_FD url2="ws://127.0.0.1:$WS_PORT/ocr"
  port=$(free_port)
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=Both' "WebSocketUrl=$url1" \
    "WebSocketUrl2=$url2" '[Companion]' 'Enabled=1' "Port=$port" 'Lan=1'
  app_start
  app_ready
  expect "both sources connect" drv wait-log-contains "$(esc "Text source: connected to $url2")" 10000
  drv wait-log-contains "$(esc "Text source: connected to $url1")" 10000 >/dev/null
  expect_eq "open to the network: it listens on every address" \
    "$(ss -Hltn "sport = :$port" | awk '{print $4}' | paste -sd ' ')" "0.0.0.0:$port"
  companion_client lines "$port" /source
  companion_client stuck "$port" /lines --mode never-read
  wait_file_line lines.log '^open 1$' 10
  WS_FD=$hooker_fd ws_send 'text from the hooker'
  drv wait-log-ends-with "$(esc $'\r\nfrom the hooker')" 5000 >/dev/null
  WS_FD=$ocr_fd ws_send 'text from the OCR tool'
  drv wait-log-ends-with "$(esc $'\r\nfrom the OCR tool')" 5000 >/dev/null
  clip 'from the clipboard'
  drv wait-log-ends-with "$(esc $'\r\nfrom the clipboard')" 5000 >/dev/null
  WS_FD=$hooker_fd ws_send 'text served both ways'
  clip 'served both ways'
  WS_FD=$ocr_fd ws_send 'text the last one'
  expect "every line of the three sources" drv wait-log-ends-with \
    "$(esc $'\r\nfrom the hooker\r\nfrom the OCR tool\r\nfrom the clipboard\r\nserved both ways\r\nthe last one')" 5000
  sleep 0.6
  expect_eq "each once" "$(log_lines | grep -c '^served both ways$')" 1
  expect "/source has them as the log" wait_file_line lines.log '^1 "the last one"$' 5
  expect_eq "/source: each once, in order" "$(companion_messages lines | paste -sd '|')" \
    'from the hooker|from the OCR tool|from the clipboard|served both ways|the last one'
  app_close_within 2000 "closes with exit code 0, a client that never reads connected" "within 2 s"
  expect_eq "Capture.WebSocketUrl2" "$(ini_get KestruneEX.ini Capture WebSocketUrl2)" "$url2"
  WS_FD=$hooker_fd WS_PID=$hooker_pid ws_server_stop
}

# The reading companion: three captured lines reach /source, /translation and
# /lines in order, once each, the first with its draft replaced (two /lines
# messages of one id after its capture, one /translation message); a client
# that never reads and one that sends garbage hold nobody up; the 17th
# client is refused; the page is served; with Lan=0 nothing listens but on
# 127.0.0.1; the program ends within 2 s with its clients connected.
scenario_companion_feeds() {
  chat_server_start slow --delay 1
  local port n
  port=$(free_port)
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'Stream=0' 'Draft=ezTrans' \
    '[Companion]' 'Enabled=1' "Port=$port"
  app_start
  app_ready
  expect "the log gives the page's address" drv wait-log-contains "$(esc "Reading companion: http://127.0.0.1:$port/")" 5000
  companion_client source "$port" /source
  companion_client translation "$port" /translation
  companion_client lines "$port" /lines
  companion_client stuck "$port" /lines --mode never-read
  companion_client garbage "$port" /source --mode garbage
  for n in source translation lines stuck garbage; do
    expect "$n connected" wait_file_line "$n.log" '^open 1$' 10
  done
  expect "the garbage is answered with a close frame" wait_file_line garbage.log '^close 1 1002$' 10
  clip "$(sjis こんにちは)"
  expect "the draft first" drv wait-log-ends-with "$(esc $'\r\n콘니치하')" 3000
  clip "$(sjis さようなら)"
  clip "$(sjis ありがとう)"
  expect "every line translated" drv wait-log-ends-with "$(esc $'\r\nKO:こんにちは\r\nKO:さようなら\r\nKO:ありがとう')" 15000
  expect "/translation has the third" wait_file_line translation.log '^1 "KO:ありがとう"$' 5
  expect_eq "/source: each line once, in order" "$(companion_messages source | paste -sd ' ')" 'こんにちは さようなら ありがとう'
  expect_eq "/translation: each final answer once, in order" "$(companion_messages translation | paste -sd ' ')" \
    'KO:こんにちは KO:さようなら KO:ありがとう'
  expect_eq "/lines: captured, the draft, the answer, under one id a line" "$(companion_messages lines | python3 -c '
import json, sys
lines = [json.loads(l) for l in sys.stdin]
ids = []
for l in lines:
    if l["id"] not in ids:
        ids.append(l["id"])
for i in ids:
    print(" | ".join(l["source"] + ">" + l["shown"] + (">final" if l["final"] else "") for l in lines if l["id"] == i))')" \
    "$(printf '%s\n' 'こんにちは> | こんにちは>콘니치하 | こんにちは>KO:こんにちは>final' \
      'さようなら> | さようなら>사요우나라 | さようなら>KO:さようなら>final' \
      'ありがとう> | ありがとう>아리가토우 | ありがとう>KO:ありがとう>final')"
  expect "the page" python3 -c 'import sys, urllib.request
page = urllib.request.urlopen(sys.argv[1], timeout=5).read().decode()
sys.exit(0 if "<title>KestruneEX! reading companion</title>" in page else 1)' "http://127.0.0.1:$port/"
  expect "a path of no feed is 404" python3 -c 'import sys, urllib.request, urllib.error
try:
    urllib.request.urlopen(sys.argv[1], timeout=5)
except urllib.error.HTTPError as e:
    sys.exit(0 if e.code == 404 else 1)
sys.exit(1)' "http://127.0.0.1:$port/other"
  # Four connected (the garbage one was closed): twelve more are served, the 17th is not.
  companion_client many "$port" /source --connections 13
  expect "the 17th client is refused" wait_file_line many.log '^refused 13 HTTP/1.1 503 Service Unavailable$' 10
  expect_eq "the 16 before it are served" "$(grep -c '^open ' many.log)" 12
  expect_eq "it listens on 127.0.0.1 only" "$(ss -Hltn "sport = :$port" | awk '{print $4}' | paste -sd ' ')" "127.0.0.1:$port"
  expect "closes with exit code 0" app_close
  expect "the clients get a close frame" wait_file_line lines.log '^close 1 1001$' 5
  expect_eq "Companion.Enabled" "$(ini_get KestruneEX.ini Companion Enabled)" 1
  expect "every section complete" ini_check_complete KestruneEX.ini
}

# A server that takes five seconds: the window answers at once meanwhile, the
# lines come in read order, and closing does not wait for the answer.
scenario_translation_server_slow() {
  chat_server_start slow --delay 5
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions"
  app_start
  app_ready
  local probes_out="$PWD/probes.txt"
  drv probe-answers 6000 20 >"$probes_out" &
  local probe_pid=$!
  sleep 0.3
  clip "$(sjis 一行目)"
  sleep 0.2
  clip "$(sjis 二行目)"
  sleep 0.2
  clip "$(sjis 三行目)"
  wait $probe_pid
  sed 's/^/    /' "$probes_out"
  expect_fields "the window never stopped answering while the server thinks" "$(cat "$probes_out")" over-1s=0
  expect "the third line translated" drv wait-log-ends-with "$(esc $'\r\nKO:三行目')" 20000
  expect_eq "three lines in read order" "$(log_lines | grep '^KO:' | paste -sd ' ')" "KO:一行目 KO:二行目 KO:三行目"
  clip "$(sjis 四行目)"
  sleep 1
  app_close_within 3000 "closes with exit code 0 while the server thinks" "closing did not wait for the answer"
}

# A server that writes its answers in pieces: each line grows in place and
# the whole answer takes its place, the reasoning before it never shows, the
# earlier lines and the glossary terms they hold go along, and "Clear text"
# starts the context afresh.
scenario_server_streaming() {
  # Pieces 0.4 s apart: the answer stays in part for more than a second
  # after its first words, long enough for two looks of the driver under
  # emulation.
  chat_server_start stream --stream-gap 0.4 --stream-pieces 12 --think
  local url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions" prompt='Translate.' ctx use log
  local l1='一行目です、長い長い行を少しずつ書いていきます' l2='アリスが来た' l3='三行目' l4='四行目'
  write_ini '[Agth]' 'AgthATrun=0' '[Engine]' 'Kind=Server' "Url=$url" "Prompt=$(hex_text "$prompt")" 'ContextLines=2' \
    '[Glossary]' "G0=$(hex_text アリス),$(hex_text 앨리스)" "G1=$(hex_text 魔王),$(hex_text 마왕)"
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu "$l1"
  expect "the first words of the answer shown" drv wait-log-contains "$(esc $'\r\nKO:一行目')" 20000
  local part
  part=$(log_lines | tail -n 1)
  echo "    while written: $part"
  expect "shown in part before the answer ends" bash -c '[[ $1 == KO:一行目* && $1 != "KO:$2" ]]' _ "$part" "$l1"
  expect "the whole answer in its place" drv wait-log-ends-with "$(esc $'\r\nKO:'"$l1")" 20000
  expect_eq "one line for it, not one per piece" "$(log_lines | grep -c '^KO:')" 1
  clipu "$l2"
  expect "the second line translated" drv wait-log-ends-with "$(esc $'\r\nKO:'"$l2")" 20000
  clipu "$l3"
  expect "the third line translated" drv wait-log-ends-with "$(esc $'\r\nKO:'"$l3")" 20000
  log=$(log_lines)
  expect "the reasoning is not shown, nor its words" bash -c '[[ -n $1 && $1 != *think\>* && $1 != *"Who speaks"* ]]' _ "$log"
  ctx=$'\n\nPrevious lines, for context only:' use=$'\n\nUse these translations:\nアリス → 앨리스'
  expect "request 1: the prompt and the line" chat_request_is stream/request-1.body "$prompt" "$l1"
  expect "request 2: the glossary term of the line, the line before" \
    chat_request_is stream/request-2.body "$prompt$use$ctx"$'\n'"$l1" "$l2"
  expect "request 3: the term of its context, the two lines before" \
    chat_request_is stream/request-3.body "$prompt$use$ctx"$'\n'"$l1"$'\n'"$l2" "$l3"
  drv command $KX_CMD_CLEARTEXT >/dev/null
  clipu "$l4"
  expect "translated after Clear text, alone in the log" drv wait-log-equals "$(esc $'KO:'"$l4"$'\r\n')" 20000
  expect "request 4: no context after Clear text" chat_request_is stream/request-4.body "$prompt" "$l4"
  expect "closes with exit code 0" app_close
}

# Options > Translation engine > Server settings..: the defaults, "Test" with
# what the dialog holds, OK; the key stored only protected and read back at
# the next start; back to ezTrans.
scenario_server_settings_dialog() {
  chat_server_start dlg
  local url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions" text want
  local dlg=(--exact --class '#32770' 'Translation server')
  write_ini '[Agth]' 'AgthATrun=0'
  app_start
  app_ready
  drv post-command $KX_CMD_SERVER_SETTINGS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  for want in "id=${IDC_SERVER_URL} text=http://127.0.0.1:8080/v1/chat/completions" "id=${IDC_SERVER_MODEL} text=" \
    "id=${IDC_SERVER_PROMPT} text=Translate the user's Japanese game text into natural Korean. Reply with the translation only." \
    "id=${IDC_SERVER_KEY} text=" "id=${IDC_SERVER_TIMEOUT} text=30" "id=${IDC_SERVER_CONTEXTLINES} text=3" \
    "id=${IDC_SERVER_CONTEXTTRANSLATIONS} check=0 text=Send their translations too" \
    "id=${IDC_SERVER_STREAM} check=1 text=Show the answer as it is written (streaming)" "id=${IDC_SERVER_MAXTOKENS} text=512"; do
    expect "default: $want" grep -qxF -- "$want" <<<"$text"
  done
  drv set-child-text "${dlg[@]}" "#${IDC_SERVER_URL}" "$url" >/dev/null
  drv set-child-text "${dlg[@]}" "#${IDC_SERVER_MODEL}" 'test-model' >/dev/null
  drv set-child-text "${dlg[@]}" "#${IDC_SERVER_KEY}" 'sk-test-key' >/dev/null
  drv click-button "${dlg[@]}" --post Test 5000 >/dev/null
  expect "Test shows the server's answer" wait_child_text "${dlg[@]}" -- ${IDC_SERVER_TESTRESULT} 'こんにちは → KO:こんにちは' 15000
  expect_eq "Test sent the key" "$(chat_request_header dlg/request-1.json authorization)" 'Bearer sk-test-key'
  # A number out of range is told in a box and the dialog stays open.
  local field bad good message box=(--exact --class '#32770' 'KestruneEX!')
  for field in "${IDC_SERVER_CONTEXTLINES}:21:5:Context lines must be a whole number from 0 to 20." \
    "${IDC_SERVER_MAXTOKENS}:4097:100:Max tokens must be a whole number from 16 to 4096."; do
    IFS=: read -r field bad good message <<<"$field"
    drv set-child-text "${dlg[@]}" "#$field" "$bad" >/dev/null
    drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
    text=$(drv window-text "${box[@]}" 10000) || { echo "  FAILED: no box for $bad"; return 1; }
    expect "$bad: the box says '$message'" grep -qx "child class=Static id=[0-9]* text=$message" <<<"$text"
    drv click-button "${box[@]}" OK 5000 >/dev/null
    drv wait-window-gone "${box[@]}" 5000 >/dev/null
    expect "$bad: the dialog stays open" drv wait-window "${dlg[@]}" 2000
    drv set-child-text "${dlg[@]}" "#$field" "$good" >/dev/null
  done
  drv click-button "${dlg[@]}" 'Send their translations too' 5000 >/dev/null
  drv click-button "${dlg[@]}" 'Show the answer as it is written (streaming)' 5000 >/dev/null
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-server-settings.png
  if [[ -n ${KX_E2E_SCREENSHOTS:-} ]]; then
    cp screenshot-server-settings.png "$KX_E2E_SCREENSHOTS"/
  fi
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect "still ezTrans" drv wait-log-ends-with "Success" 1000
  drv command $KX_CMD_ENGINE_SERVER >/dev/null
  expect "the server named on the switch" drv wait-log-ends-with "$(esc $'\r\nTranslation server: '"$url")" 5000
  clip "$(sjis テスト)"
  expect "translated by the server" drv wait-log-ends-with "$(esc $'\r\nKO:テスト')" 10000
  expect "closes with exit code 0" app_close
  expect_eq "Engine.Kind" "$(ini_get KestruneEX.ini Engine Kind)" Server
  expect_eq "Engine.Url" "$(ini_get KestruneEX.ini Engine Url)" "$url"
  expect_eq "Engine.TimeoutS" "$(ini_get KestruneEX.ini Engine TimeoutS)" 30
  expect_eq "the context, streaming and token settings" "$(for key in ContextLines ContextTranslations Stream MaxTokens; do
    printf '%s=%s ' $key "$(ini_get KestruneEX.ini Engine $key)"; done)" 'ContextLines=5 ContextTranslations=1 Stream=0 MaxTokens=100 '
  local stored
  stored=$(ini_get KestruneEX.ini Engine ApiKey)
  echo "    ApiKey=${stored:0:40}... (${#stored} digits)"
  expect "a key is stored" [ ${#stored} -gt 20 ]
  expect "not in clear" bash -c "! grep -q 'sk-test-key' KestruneEX.ini"
  expect "not as hex text either" bash -c "! grep -qi '$(hex_text sk-test-key)' KestruneEX.ini"
  expect "every section complete" ini_check_complete KestruneEX.ini
  # The next start reads the key back for the same user.
  app_start
  app_ready
  clip "$(sjis もう一度)"
  expect "translated after the restart" drv wait-log-ends-with "$(esc $'\r\nKO:もう一度')" 10000
  local last
  last=$(ls dlg/request-*.json | sort -t- -k2 -n | tail -n 1)
  expect_eq "with the key read back" "$(chat_request_header "$last" authorization)" 'Bearer sk-test-key'
  # Back to ezTrans: it starts now, with its own sentence rules.
  drv command $KX_CMD_ENGINE_EZTRANS >/dev/null
  expect "ezTrans starts on the switch" drv wait-log-ends-with "Initialize the Translation Engine ..... Success" 10000
  clip "$(sjis かな)"
  expect "translated by the stand-in" drv wait-log-ends-with "$(esc $'\r\n카나')" 10000
  expect "closes with exit code 0" app_close
  expect_eq "Engine.Kind back to ezTrans" "$(ini_get KestruneEX.ini Engine Kind)" ezTrans
}

# Through Options > Translation engine > Server settings..: the URL and the
# API key, then OK, then the server as the engine.
server_settings_set() { # url key
  local dlg=(--exact --class '#32770' 'Translation server')
  drv post-command $KX_CMD_SERVER_SETTINGS >/dev/null
  drv wait-window "${dlg[@]}" 10000 >/dev/null || { echo "  FAILED: the server dialog did not open"; return 1; }
  drv set-child-text "${dlg[@]}" "#${IDC_SERVER_URL}" "$1" >/dev/null
  drv set-child-text "${dlg[@]}" "#${IDC_SERVER_KEY}" "$2" >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  drv wait-window-gone "${dlg[@]}" 5000 >/dev/null || { echo "  FAILED: the server dialog did not close"; return 1; }
  drv command $KX_CMD_ENGINE_SERVER >/dev/null
}

# A server that answers 307 to another port on this computer: the redirect
# is not followed, so the other port never sees the request or the key.
scenario_server_redirect() {
  chat_server_start target
  local target_port=$CHAT_PORT
  OTHER_PID=$CHAT_PID  # ended by the scenario's cleanup
  chat_server_start redirecting --redirect-to "http://127.0.0.1:$target_port/v1/chat/completions"
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0'
  app_start
  app_ready
  server_settings_set "http://127.0.0.1:$CHAT_PORT/v1/chat/completions" sk-redirected
  clip "$(sjis 転送の行)"
  expect "shown untranslated with the redirect as the reason" \
    drv wait-log-ends-with "$(esc $'\r\n転送の行\r\nTranslation server: HTTP 307: redirects are not followed')" 15000
  expect_eq "the redirecting server had the key" "$(chat_request_header redirecting/request-1.json authorization)" \
    'Bearer sk-redirected'
  sleep 1
  expect "the other port saw no request" [ ! -e target/request-1.json ]
  expect "closes with exit code 0" app_close
}

# Plain http to a host name that is not written as this computer, though it
# leads here: the request goes without the key, and the log says why, once.
# Wine 8 resolves names through the host's resolver, not through the
# prefix's hosts file; where the entry there does not resolve, the machine's
# own name is used (Wine gives it the addresses of the network interfaces).
scenario_server_key_not_in_clear() {
  local hosts="$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts" name=kx-lan-server.test
  grep -q " $name" "$hosts" 2>/dev/null || printf '127.0.0.1 %s\r\n' "$name" >>"$hosts"
  if ! wine ping -n 1 "$name" 2>/dev/null | grep -q '^Pinging'; then
    name=$(hostname)
  fi
  echo "    server named $name"
  chat_server_start lan --bind 0.0.0.0
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0'
  app_start
  app_ready
  server_settings_set "http://$name:$CHAT_PORT/v1/chat/completions?key=sk-in-query" sk-lan-key
  expect "the log names the URL without its query" \
    drv wait-log-ends-with "$(esc $'\r\nTranslation server: http://'"$name:$CHAT_PORT"'/v1/chat/completions')" 5000
  clip "$(sjis 一行目)"
  local told='Translation server: the API key is sent only over https or to this computer'
  expect "translated, and the log says where the key goes" \
    drv wait-log-ends-with "$(esc $'\r\nKO:一行目\r\n'"$told")" 15000
  expect_eq "the request came without Authorization" "$(chat_request_header lan/request-1.json authorization)" ''
  clip "$(sjis 二行目)"
  expect "the next line translated" drv wait-log-ends-with "$(esc $'\r\nKO:二行目')" 15000
  expect_eq "told once" "$(log_lines | grep -c "^$told\$")" 1
  expect_eq "no key the second time either" "$(chat_request_header lan/request-2.json authorization)" ''
  expect "closes with exit code 0" app_close
}

# A server that sends its answer a byte every half second, forever: each
# line is shown untranslated at the time-out and no thread is left behind
# for it; over 30 such lines the program keeps fewer than 20 threads.
scenario_server_trickling() {
  chat_server_start drip --trickle 0.5
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'TimeoutS=1'
  app_start
  app_ready
  local i most=0 count
  for i in $(seq 1 30); do
    clip "$(sjis "滴の行$i")"
    drv wait-log-contains "$(esc $'\r\n滴の行'"$i")" 15000 >/dev/null || { echo "  FAILED: line $i not shown"; return 1; }
    count=$(drv threads | sed -n 's/^threads=//p')
    ((count > most)) && most=$count
  done
  echo "    most threads seen: $most"
  expect_eq "every line shown untranslated" "$(log_lines | grep -c '^滴の行[0-9]*$')" 30
  expect_eq "none translated" "$(log_lines | grep -c '^KO:')" 0
  expect "the reason: no answer within 1 s" [ "$(log_lines | grep -c '^Translation server: no answer within 1 s$')" -ge 1 ]
  expect "fewer than 20 threads throughout" [ "$most" -lt 20 ]
  expect "closes with exit code 0" app_close
}

# A server that ends each streamed answer with [DONE] but keeps the
# connection open: the answer ends there, long before the 30 s time-out (the
# next line, asked only once it has, comes at once), the program closes the
# connection, and the answer is whole: the next request carries it as context.
scenario_server_done_held() {
  chat_server_start held --stream-gap 0.05 --stream-pieces 4 --hold-after-done
  local url="http://127.0.0.1:$CHAT_PORT/v1/chat/completions" prompt='Translate.' l1='一行目です' l2='二行目です'
  write_ini '[Agth]' 'AgthATrun=0' '[Engine]' 'Kind=Server' "Url=$url" "Prompt=$(hex_text "$prompt")" 'ContextLines=2' \
    'TimeoutS=30'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  clipu "$l1"
  expect "the first line translated" drv wait-log-ends-with "$(esc $'\r\nKO:'"$l1")" 5000
  expect "the program closed the connection after [DONE]" wait_file_line held/request-1.closed . 5
  echo "    closed $(cat held/request-1.closed) s after [DONE]"
  clipu "$l2"
  expect "the second line translated at once" drv wait-log-ends-with "$(esc $'\r\nKO:'"$l2")" 5000
  expect "request 2: the first line as context" \
    chat_request_is held/request-2.body "$prompt"$'\n\nPrevious lines, for context only:\n'"$l1" "$l2"
  expect_eq "no answer said to be cut off" "$(log_lines | grep -c 'cut off')" 0
  expect "closes with exit code 0" app_close
}

# A server that never stops writing its answer, with TimeoutS=5: the line is
# shown, cut off, within 6 s of the text, and the window answers throughout.
scenario_server_endless() {
  chat_server_start endless --endless 0.002
  write_ini '[Agth]' 'AgthATrun=0' '[Setting]' 'FloodChk=0' '[Engine]' 'Kind=Server' \
    "Url=http://127.0.0.1:$CHAT_PORT/v1/chat/completions" 'TimeoutS=5'
  app_start
  app_ready
  drv command $KX_CMD_UNICODE >/dev/null
  local notice='Translation server: the answer was cut off: no answer within 5 s' set_at painted_at probe_pid lines
  drv probe-answers 7000 20 >probes.txt &
  probe_pid=$!
  sleep 0.3
  set_at=$(drv set-clipboard-unicode "$(esc 終わらない行)" | sed -n 's/.*set-at-ms=\([0-9]*\).*/\1/p')
  painted_at=$(drv wait-painted "$(esc $'\r\n'"$notice")" 10000 | sed -n 's/.*painted-at-ms=\([0-9]*\).*/\1/p')
  wait $probe_pid
  sed 's/^/    /' probes.txt
  expect "the cut-off line shown" [ -n "$painted_at" ]
  echo "    shown cut off $((painted_at - set_at)) ms after the text"
  expect "within 6 s" [ $((painted_at - set_at)) -lt 6000 ]
  expect_fields "the window never stopped answering" "$(cat probes.txt)" over-1s=0
  mapfile -t lines < <(log_lines)
  echo "    the line: ${#lines[-2]} characters, ${lines[-2]:0:20}..."
  expect "the line is what came of the answer" bash -c '[[ $1 == KO:終わらない行あいうえお* ]]' _ "${lines[-2]}"
  expect "the server was let go" wait_file_line endless/request-1.ended . 5
  expect "closes with exit code 0" app_close
}

# A settings file with 100,000 substitution keys: the program is up within
# 5 s and writes them all back at exit.
scenario_many_substitution_keys() {
  {
    printf '[Agth]\r\nAgthATrun=0\r\n[Substitutions]\r\n'
    awk 'BEGIN { for (i = 0; i < 100000; i++) printf "B%d=%04X,0041\r\n", i, 19968 + i % 20000 }'
  } >KestruneEX.ini
  local t0 took
  t0=$(date +%s%N)
  app_start
  app_ready
  took=$((($(date +%s%N) - t0) / 1000000))
  echo "    up after $took ms (Wine's own start included)"
  expect "up within 5 s" [ "$took" -lt 5000 ]
  t0=$(date +%s%N)
  expect "closes with exit code 0" app_close
  echo "    closing took $((($(date +%s%N) - t0) / 1000000)) ms"
  expect_eq "every key written back" "$(tr -d '\r' <KestruneEX.ini | grep -c '^B[0-9]*=')" 100000
  expect_eq "the last one as it was" "$(ini_get KestruneEX.ini Substitutions B99999)" "$(printf '%04X,0041' $((19968 + 99999 % 20000)))"
}

# The WebSocket text source: 300 messages sent at once are 300 lines, in
# order, once each; JSON messages give their "sentence" or "text", also
# when the message comes in fragments; invalid
# UTF-8 shows U+FFFD; binary and oversized messages are passed over on a
# connection that stays up; monitoring off holds texts back; clipboard
# changes are not captured meanwhile; the menu switches the source.
scenario_websocket_source() {
  ws_server_start hooker
  local url="ws://127.0.0.1:$WS_PORT"
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' "WebSocketUrl=$url"
  app_start
  app_ready
  expect "connected at start-up, and the log says so" drv wait-log-ends-with "$(esc $'Success\r\nText source: connected to '"$url")" 10000
  expect "the server saw the connection" wait_file_line hooker.log '^connected 1$' 5
  ws_send burst 300 line-
  expect "the 300th line" drv wait-log-ends-with "$(esc $'\r\nline-300')" 15000
  expect_eq "300 lines, in order, once each" "$(log_lines | grep '^line-' | paste -sd ' ')" \
    "$(printf 'line-%03d\n' $(seq 300) | paste -sd ' ')"
  ws_send 'text {"sentence":"こんにちは","process_path":"C:\\\\game.exe"}'
  ws_send 'text {"text":"テキスト"}'
  ws_send 'text {"other":1}'
  ws_send 'pieces 3 {"sentence":"in three pieces"}'
  ws_send 'text plain\xffbyte'
  ws_send 'binary 16'
  ws_send 'big 5000000'
  ws_send 'text after the big one'
  ws_send 'big 4200000'
  ws_send 'text after the second big one'
  expect "sentence and text fields, other JSON as it is, U+FFFD, binary passed over, one notice for two big ones" \
    drv wait-log-ends-with "$(esc $'line-300\r\nこんにちは\r\nテキスト\r\n{"other":1}\r\nin three pieces\r\nplain�byte\r\nText source: a message over 4 MiB was not shown\r\nafter the big one\r\nafter the second big one')" 15000
  drv command $KX_CMD_MONITORING >/dev/null
  ws_send 'text sent while monitoring is off'
  sleep 1
  drv command $KX_CMD_MONITORING >/dev/null
  clip 'copied to the clipboard'
  sleep 1
  ws_send 'text sent while monitoring is on'
  expect "monitoring on again" drv wait-log-ends-with "$(esc $'second big one\r\nsent while monitoring is on')" 10000
  expect "nothing shown while monitoring was off" drv log-lacks 'sent while monitoring is off'
  expect "the clipboard change was not captured" drv log-lacks 'copied to the clipboard'
  # The menu's check items: the clipboard on, the WebSocket off closes the connection.
  drv command $KX_CMD_SOURCE_CLIPBOARD >/dev/null
  drv command $KX_CMD_SOURCE_WEBSOCKET >/dev/null
  expect "WebSocket off closes the connection with a close frame" wait_file_line hooker.log '^close-frame 1 code=1000$' 5
  clip 'copied again'
  expect "the clipboard is captured again" drv wait-log-ends-with "$(esc $'\r\ncopied again')" 5000
  drv command $KX_CMD_SOURCE_WEBSOCKET >/dev/null
  expect "WebSocket connects again" drv wait-log-ends-with "$(esc $'copied again\r\nText source: connected to '"$url")" 10000
  wait_file_line hooker.log '^connected 2$' 5
  drv command $KX_CMD_SOURCE_CLIPBOARD >/dev/null
  expect "closes with exit code 0" app_close
  expect "exit closes the connection with a close frame" wait_file_line hooker.log '^close-frame 2 code=1000$' 5
  expect_eq "Capture.Source" "$(ini_get KestruneEX.ini Capture Source)" WebSocket
  expect_eq "Capture.WebSocketUrl" "$(ini_get KestruneEX.ini Capture WebSocketUrl)" "$url"
  expect "every section complete" ini_check_complete KestruneEX.ini
}

# No server at start-up, then one, then it goes and comes back: the program
# connects on its own each time, with one log line each way; the return is
# not told, as the connection before it held only seconds (such connections
# are told once a minute).
scenario_websocket_reconnect() {
  local port url
  port=$(free_port)
  url="ws://127.0.0.1:$port/api/ws/text/origin"
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' "WebSocketUrl=$url"
  app_start
  app_ready
  local refused="Text source: cannot connect to $url (the connection was refused)"
  expect "the failure told" drv wait-log-ends-with "$(esc $'\r\n'"$refused")" 10000
  sleep 5
  expect_eq "told once over several tries" "$(log_lines | grep -cxF "$refused")" 1
  ws_server_start first "$port"
  expect "connected within the next try" drv wait-log-ends-with "$(esc $'\r\nText source: connected to '"$url")" 5000
  ws_send 'text before the stop'
  expect "a line before the stop" drv wait-log-ends-with "$(esc $'\r\nbefore the stop')" 5000
  ws_server_stop
  expect "the loss told" drv wait-log-contains "$(esc "Text source: lost the connection to $url (")" 5000
  sleep 5
  ws_server_start second "$port"
  expect "connected again" wait_file_line second.log '^connected 1$' 5
  ws_send 'text after the restart'
  expect "lines after that appear" drv wait-log-ends-with "$(esc $'\r\nafter the restart')" 5000
  local states
  states=$(log_lines | grep '^Text source: ' | sed 's/ to .*//' | paste -sd ,)
  expect_eq "one line each way" "$states" \
    'Text source: cannot connect,Text source: connected,Text source: lost the connection'
  expect_eq "no box" "$(drv count-windows --class '#32770')" "count=0"
  expect "closes with exit code 0" app_close
}

# A server that sends without pause: closing the window sends the close
# frame and the process ends within 2 s. Wine's X11 driver waits up to 2 s
# for a window manager to take back each window that is hidden; Xvfb has
# none, so here the windows are left unmanaged (every close took 2.07 s).
scenario_websocket_exit_flood() {
  UNMANAGED=1
  wine reg add "$x11_driver_key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  ws_server_start flood
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' \
    "WebSocketUrl=ws://127.0.0.1:$WS_PORT"
  app_start
  app_ready
  wait_file_line flood.log '^connected 1$' 10
  ws_send 'flood f'
  expect "the flood is shown" drv wait-log-contains 'f2000' 15000
  local out took
  out=$(drv close 15000)
  echo "    $out"
  took=$(sed -n 's/.*after-ms=\([0-9]*\).*/\1/p' <<<"$out")
  wait "$APP_PID"
  APP_PID=
  expect_fields "exit code 0" "$out" exit-code=0
  expect "ended within 2 s of the close ($took ms)" [ "$took" -lt 2000 ]
  expect "with a close frame" wait_file_line flood.log '^close-frame 1 code=1000$' 5
}

# Options > Text source > WebSocket settings..: the default URL, "Test"
# against a server that is up and one that is down, a URL that is none, OK;
# then the WebSocket source with that URL.
scenario_websocket_settings_dialog() {
  ws_server_start dlg
  local url="ws://127.0.0.1:$WS_PORT" down text
  down="ws://127.0.0.1:$(free_port)"
  local dlg=(--exact --class '#32770' 'WebSocket settings')
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0'
  app_start
  app_ready
  drv post-command $KX_CMD_WEBSOCKET_SETTINGS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  text=$(drv window-text "${dlg[@]}" 5000 | sed 's/^child class=[^ ]* //')
  echo "$text" | sed 's/^/    /'
  expect "the default URL" grep -qxF -- "id=${IDC_WEBSOCKET_URL} text=ws://127.0.0.1:6677" <<<"$text"
  drv set-child-text "${dlg[@]}" "#${IDC_WEBSOCKET_URL}" " $url " >/dev/null
  drv click-button "${dlg[@]}" --post Test 5000 >/dev/null
  expect "Test against a server that is up" wait_child_text "${dlg[@]}" -- ${IDC_WEBSOCKET_TESTRESULT} "Connected to $url." 10000
  expect "the test connection is closed with a close frame" wait_file_line dlg.log '^close-frame 1 code=1000$' 5
  # Several URLs, one a line: each tried, each told in its line's place.
  drv set-child-text "${dlg[@]}" "#${IDC_WEBSOCKET_URL}" "$(esc "$down"$'\r\n\r\n'" $url")" >/dev/null
  drv click-button "${dlg[@]}" --post Test 5000 >/dev/null
  expect "Test against a server that is down and one that is up" wait_child_text "${dlg[@]}" -- \
    ${IDC_WEBSOCKET_TESTRESULT} 'Cannot connect: the connection was refused.\r\nConnected to '"$url." 10000
  shot_of "$(drv window-info "${dlg[@]}")" screenshot-websocket-settings.png
  [[ -n ${KX_E2E_SCREENSHOTS:-} ]] && cp screenshot-websocket-settings.png "$KX_E2E_SCREENSHOTS"/
  drv set-child-text "${dlg[@]}" "#${IDC_WEBSOCKET_URL}" 'http://127.0.0.1:6677' >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  local box
  box=$(drv window-text --exact --class '#32770' 'KestruneEX!' 10000) || { echo "  FAILED: no box for a URL that is none"; return 1; }
  expect "a box says what a URL must be" grep -qF 'must begin with ws:// or wss://' <<<"$box"
  drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
  expect "the dialog stays open" drv wait-window "${dlg[@]}" 2000
  drv set-child-text "${dlg[@]}" "#${IDC_WEBSOCKET_URL}" "$url" >/dev/null
  drv click-button "${dlg[@]}" --post OK 5000 >/dev/null
  expect "OK closes it" drv wait-window-gone "${dlg[@]}" 5000
  sleep 1
  expect_eq "the clipboard is still the source: no connection" "$(grep -c '^connected' dlg.log)" 2
  drv command $KX_CMD_SOURCE_WEBSOCKET >/dev/null
  expect "the WebSocket source with that URL" drv wait-log-ends-with "$(esc $'\r\nText source: connected to '"$url")" 10000
  ws_send 'text 一行目'
  expect "its lines are shown" drv wait-log-ends-with "$(esc $'\r\n一行目')" 5000
  # The menu as the user sees it: Options > Text source.
  xdotool windowfocus --sync "$(xdotool search --name "^${KX_TITLE}\$" | sed -n 1p)"
  xdotool key --delay 150 alt+o s
  sleep 0.5
  import -window root -crop 640x330+95+95 +repage -strip screenshot-text-source-menu.png
  xdotool key --delay 50 Escape Escape Escape
  [[ -n ${KX_E2E_SCREENSHOTS:-} ]] && cp screenshot-text-source-menu.png "$KX_E2E_SCREENSHOTS"/
  expect "closes with exit code 0" app_close
  expect_eq "Capture.Source: the clipboard and the WebSocket" "$(ini_get KestruneEX.ini Capture Source)" Both
  expect_eq "Capture.WebSocketUrl" "$(ini_get KestruneEX.ini Capture WebSocketUrl)" "$url"
}

# A server that accepts each connection and closes it at once (a hooker
# that serves one client and turns the next away): for 30 s the program
# tries again every 2 s, and the log says so in two lines.
scenario_websocket_turned_away() {
  ws_server_start away '' --close-at-once
  local url="ws://127.0.0.1:$WS_PORT"
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' "WebSocketUrl=$url"
  app_start
  app_ready
  expect "the first connection told" drv wait-log-contains "$(esc "Text source: connected to $url")" 10000
  sleep 30
  local tries
  tries=$(grep -c '^connected ' away.log)
  echo "    $tries connections in 30 s"
  expect "tried again and again" [ "$tries" -ge 10 ]
  expect_eq "two lines about it" "$(log_lines | grep '^Text source: ')" \
    "Text source: connected to $url"$'\n'"Text source: lost the connection to $url (the server closed the connection)"
  expect "closes with exit code 0" app_close
}

# A server that never answers the close frame: the source switched 20 times,
# each switch done within 100 ms, and within 2 s of the last the program has
# the threads of its own it had before and the server one connection open.
# (Workers of the system's thread pool, which WinHTTP's callbacks borrow,
# stay a few seconds after their last work; they are counted apart.)
scenario_websocket_close_unanswered() {
  ws_server_start mute '' --ignore-close
  local url="ws://127.0.0.1:$WS_PORT" before i open now
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' "WebSocketUrl=$url"
  app_start
  app_ready
  expect "connected" drv wait-log-contains "$(esc "Text source: connected to $url")" 10000
  wait_file_line mute.log '^connected 1$' 5
  before=$(drv own-threads)
  local longest=0 took deadline
  switch_to() { # command id; keeps the longest time a switch took
    took=$(drv command-times "$1" | sed -n 's/.*longest-ms=\([0-9]*\).*/\1/p')
    ((took > longest)) && longest=$took
    deadline=$(($(date +%s%N) / 1000000 + 2000))
  }
  # Each time connected before the next switch, so that each leaves an open connection behind.
  for i in $(seq 2 11); do
    switch_to "$KX_CMD_SOURCE_WEBSOCKET"  # off: no source
    switch_to "$KX_CMD_SOURCE_WEBSOCKET"  # on again
    wait_file_line mute.log "^connected $i\$" 5
  done
  echo "    the longest switch took $longest ms; before: $before"
  expect "each switch done within 100 ms" [ "$longest" -lt 100 ]
  while :; do
    open=$(ws_open_connections mute)
    now=$(drv own-threads)
    ((open == 1)) && [[ ${now%% *} == "${before%% *}" ]] && break
    (($(date +%s%N) / 1000000 < deadline)) || break
    sleep 0.1
  done
  echo "    within 2 s: $open connections open, $now"
  expect_eq "one connection open, the last one's" "$open" 1
  expect_eq "the program's own threads as before" "${now%% *}" "${before%% *}"
  expect_eq "11 connections in all" "$(grep -c '^connected ' mute.log)" 11
  expect_eq "each one left with a close frame" "$(grep -c '^close-frame [0-9]* code=1000$' mute.log)" 10
  ws_send 'text after the switches'
  expect "the last connection serves" drv wait-log-ends-with "$(esc $'\r\nafter the switches')" 5000
  expect "closes with exit code 0" app_close
}

# A WebSocket URL with a user name and password, from the settings file: not
# used, with the translation server's reason, in the log without the
# password; the settings dialog refuses it for Test and OK with that reason.
scenario_websocket_url_user_info() {
  ws_server_start guarded
  local url="ws://hooker:secret@127.0.0.1:$WS_PORT/text" box
  local dlg=(--exact --class '#32770' 'WebSocket settings')
  write_ini '[Agth]' 'AgthATrun=0' '[MainMenu]' 'Translation=0' '[Capture]' 'Source=WebSocket' "WebSocketUrl=$url"
  app_start
  app_ready
  expect "not used, and why" drv wait-log-ends-with "$(esc $'\r\nText source: cannot connect to ws://127.0.0.1:'"$WS_PORT"'/text (a URL with a user name or password is not used)')" 10000
  expect "the log shows neither name nor password" drv log-lacks 'secret'
  drv post-command $KX_CMD_WEBSOCKET_SETTINGS >/dev/null
  expect "the dialog opens" drv wait-window "${dlg[@]}" 10000
  local button
  for button in Test OK; do
    drv click-button "${dlg[@]}" --post "$button" 5000 >/dev/null
    box=$(drv window-text --exact --class '#32770' 'KestruneEX!' 10000) || { echo "  FAILED: no box for $button"; return 1; }
    expect "$button: a box says why" grep -qF 'A URL with a user name or password is not used.' <<<"$box"
    drv click-button --exact --class '#32770' 'KestruneEX!' OK 5000 >/dev/null
    drv wait-window-gone --exact --class '#32770' 'KestruneEX!' 5000 >/dev/null
  done
  expect "the dialog stays open" drv wait-window "${dlg[@]}" 2000
  drv click-button "${dlg[@]}" --post Cancel 5000 >/dev/null
  expect "Cancel closes it" drv wait-window-gone "${dlg[@]}" 5000
  expect_eq "the server saw no connection" "$(grep -c '^connected' guarded.log)" 0
  expect "closes with exit code 0" app_close
}

[[ -n ${KX_E2E_SCREENSHOTS:-} ]] && KX_E2E_SCREENSHOTS=$(mkdir -p "$KX_E2E_SCREENSHOTS" && cd "$KX_E2E_SCREENSHOTS" && pwd)

passed=0 failed=0 failed_names=()
for name in "${selected[@]}"; do
  dir=$out/$name
  rm -rf "$dir" && mkdir -p "$dir" && cp "$KX_EXE" "$dir/"
  t0=$SECONDS
  (
    set -eEuo pipefail
    cd "$dir"
    APP_PID= VIEWER_PID= OTHER_PID= UNMANAGED=
    trap scenario_cleanup EXIT
    "scenario_$name"
  ) >"$dir/scenario.log" 2>&1
  rc=$?
  [[ $name == startup_without_engine ]] && register_engine
  if ((rc == 0)); then
    passed=$((passed + 1))
    printf 'PASS  %-24s %3ds\n' "$name" $((SECONDS - t0))
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    printf 'FAIL  %-24s %3ds   (%s)\n' "$name" $((SECONDS - t0)) "$dir/scenario.log"
    tail -n 15 "$dir/scenario.log" | sed 's/^/      | /'
  fi
done

echo "end-to-end: $((SECONDS - started)) s in all; scenario folders in $out"
echo "$passed passed, $failed failed"
if ((failed)); then
  echo "failed: ${failed_names[*]}"
  exit 1
fi
[[ -z ${KX_E2E_OUT:-} ]] && rm -rf "$out"
exit 0
