#!/usr/bin/env bash
# The window keying through a keyer that times itself: a WinKeyer (the test
# emulator on a pseudo-terminal) and a real orvex-keyd on another address
# (127.0.0.2 stands for the remote station). F3's message goes there as
# characters, the echo shows what came back as sent, the status bar names
# the keyer, Esc stops it there, nothing is keyed on this side, and
# File/Exit leaves a WinKeyer in its own mode.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session "$@"
EMULATOR=$3
KEYD=$4
# keyer NAME STATUS SENT STOPPED SETTINGS...: one run of the window; SENT
# prints what the keyer sent so far, STOPPED says Esc's stop reached it
# ("STOPPED before" is called just before Esc).
keyer() {
  local name=$1 status=$2 sent=$3 stopped=$4 got before
  shift 4
  printf 'Version=4.01\r\nCWSpeed=30\r\nCall=DL1ABC\r\nMsgCW3=TEST DE #ME\r\n' >"$ini"
  printf 'MsgCW4=PARIS PARIS PARIS PARIS\r\nPacketFontName=DejaVu Sans Mono\r\n' >>"$ini"
  printf '%s\r\n' "PacketFontSize=16" "$@" >>"$ini"
  : >"$log"
  "$ORVEX" & pid=$!
  main=$(wait_window "^ Orvex - 30 WPM$") || fail "$name: no main window"
  press "$main" F3
  for ((i = 0; i < 100; i++)); do [[ $($sent) == "TEST DE DL1ABC"* ]] && break; sleep 0.1; done
  [[ $($sent) == "TEST DE DL1ABC"* ]] || fail "$name sent '$($sent)'"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -colorspace gray -resize 200% \
    "$PELORIN/window.png"
  got=$(tesseract "$PELORIN/window.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
  [[ $got == *"TEST DE DL1ABC"* ]] || fail "$name: the echo reads '$got'"
  [[ $got == *"$status"* ]] || fail "$name: the status bar reads '$got'"
  before=$($sent)
  press "$main" F4
  for ((i = 0; i < 100; i++)); do [[ $($sent) == "$before"*"PARIS P"* ]] && break; sleep 0.1; done
  $stopped before
  press "$main" Escape
  sleep 0.5
  $stopped || fail "$name: Esc's stop did not reach it"
  got=$($sent)
  sleep 1
  [[ $($sent) == "$got" && $got != *"PARIS PARIS PARIS PARIS"* ]] || fail "$name went on: '$got'"
  grep -q "KEY DOWN" "$log" && fail "$name: this side keyed what the keyer was to send"
  press "$main" alt+f x
  wait_exit "$pid" 10 || fail "$name: File/Exit did not end the program"
}

wk=$PELORIN/winkeyer.log
"$EMULATOR" "$wk" >"$PELORIN/device" & emulator=$!
for ((i = 0; i < 50; i++)); do [[ -s $PELORIN/device ]] && break; sleep 0.1; done
device=$(cat "$PELORIN/device")
[[ -n $device ]] || fail "the emulator gave no device"
wk_sent() { sed -n 's/^SENT //p' "$wk" | tr -d '\n'; }
wk_commands() { grep -v '^SENT' "$wk" | cut -d' ' -f2-; }
wk_cleared() {  # more clear commands than before Esc
  local n
  n=$(wk_commands | grep -c '^0a$')
  [[ ${1:-} == before ]] && { clears=$n; return 0; }
  ((n > clears))
}
keyer WinKeyer "WinKeyer 3.1 on $device" wk_sent wk_cleared "CWPort=$device" "CWKeyer=WinKeyer"
wk_commands | tail -1 | grep -qx '00 03' || fail "the WinKeyer was left in host mode"
kill $emulator

port=$((20000 + RANDOM % 20000))
far=$PELORIN/far.log
printf 'CWSpeed=20\r\n' >"$PELORIN/keyd.ini"
ORVEX_KEYER_LOG=$far "$KEYD" --ini "$PELORIN/keyd.ini" --listen "127.0.0.2:$port" --port None \
  2>"$PELORIN/keyd.err" &
for ((i = 0; i < 50; i++)); do grep -q "for loggers" "$PELORIN/keyd.err" && break; sleep 0.1; done
far_sent() { "$KEYLOG_TOOL" "$far" --unit-ms 40 --as-planned; }
far_up() { [[ ${1:-} == before ]] || { wait_quiet "$far" && tail -1 "$far" | grep -q "KEY UP"; }; }
keyer "orvex-keyd" "Keyer at 127.0.0.2" far_sent far_up "CWKeyer=Remote" \
  "RemoteKeyer=127.0.0.2:$port"
echo "text keyers: ok"
