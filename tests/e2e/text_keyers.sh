#!/usr/bin/env bash
# The window keying through a keyer that times itself, a WinKeyer (the test
# emulator on a pseudo-terminal): F3's message goes there as characters,
# the echo shows what came back as sent, the status bar names the keyer,
# Esc stops it there, nothing is keyed on this side, and File/Exit leaves
# the WinKeyer in its own mode. (The far keyer's path is the tools' tests'.)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session

wk=$PELORIN/winkeyer.log
"$EMULATOR" "$wk" >"$PELORIN/device" & emulator=$!
within 5 test -s "$PELORIN/device" || fail "the emulator gave no device"
device=$(cat "$PELORIN/device")
sent() { sed -n 's/^SENT //p' "$wk" | tr -d '\n'; }
commands() { grep -v '^SENT' "$wk" | cut -d' ' -f2-; }
sent_is() { [[ $(sent) == $1 ]]; }
printf 'Version=4.01\r\nCWSpeed=30\r\nCall=DL1ABC\r\nMsgCW3=TEST DE #ME\r\n' >"$ini"
printf 'MsgCW4=PARIS PARIS PARIS PARIS\r\nPacketFontName=DejaVu Sans Mono\r\n' >>"$ini"
printf '%s\r\n' "PacketFontSize=16" "CWPort=$device" "CWKeyer=WinKeyer" >>"$ini"

"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 30 WPM$") || fail "no main window"
press "$main" F3
within 10 sent_is "TEST DE DL1ABC*" || fail "the WinKeyer sent '$(sent)'"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -colorspace gray -resize 200% \
  "$PELORIN/window.png"
got=$(tesseract "$PELORIN/window.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
[[ $got == *"TEST DE DL1ABC"* ]] || fail "the echo reads '$got'"
[[ $got == *"WinKeyer 3.1 on $device"* ]] || fail "the status bar reads '$got'"

before=$(sent)
press "$main" F4
within 10 sent_is "$before*PARIS P*"
clears=$(commands | grep -c '^0a$')
press "$main" Escape
sleep 0.5
(($(commands | grep -c '^0a$') > clears)) || fail "Esc's clear did not reach the WinKeyer"
got=$(sent)
sleep 1
[[ $(sent) == "$got" && $got != *"PARIS PARIS PARIS PARIS"* ]] || fail "the WinKeyer went on: '$got'"
grep -q "KEY DOWN" "$log" && fail "this side keyed what the WinKeyer was to send"
press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
commands | tail -1 | grep -qx '00 03' || fail "the WinKeyer was left in host mode"
kill $emulator
echo "text keyers: ok"
