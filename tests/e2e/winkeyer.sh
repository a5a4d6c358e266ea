#!/usr/bin/env bash
# The window keying through a WinKeyer (the test emulator on a
# pseudo-terminal): F3's message goes to it as characters, the echo shows
# what it sent back, the status bar names it, Esc clears its buffer and
# File/Exit leaves it in its own mode.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session "$@"
EMULATOR=$3
wk=$PELORIN/winkeyer.log
"$EMULATOR" "$wk" >"$PELORIN/device" & emulator=$!
for ((i = 0; i < 50; i++)); do [[ -s $PELORIN/device ]] && break; sleep 0.1; done
device=$(cat "$PELORIN/device")
[[ -n $device ]] || fail "the emulator gave no device"
printf 'Version=4.01\r\nCWSpeed=30\r\nCall=DL1ABC\r\nCWPort=%s\r\nCWKeyer=WinKeyer\r\n' "$device" >"$ini"
printf 'MsgCW3=TEST DE #ME\r\nMsgCW4=PARIS PARIS PARIS PARIS\r\n' >>"$ini"
printf 'PacketFontName=DejaVu Sans Mono\r\nPacketFontSize=16\r\n' >>"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 30 WPM$") || fail "no main window"
sent() { sed -n 's/^SENT //p' "$wk"; }
commands() { grep -v '^SENT' "$wk" | cut -d' ' -f2-; }

press "$main" F3
for ((i = 0; i < 100; i++)); do [[ $(sent) == "TEST DE DL1ABC " ]] && break; sleep 0.1; done
[[ $(sent) == "TEST DE DL1ABC " ]] || fail "the WinKeyer sent '$(sent)'"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -colorspace gray -resize 200% \
  "$PELORIN/window.png"
read_back=$(tesseract "$PELORIN/window.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
[[ $read_back == *"TEST DE DL1ABC"* ]] || fail "the echo reads '$read_back'"
[[ $read_back == *"WinKeyer 3.1 on $device"* ]] || fail "the status bar reads '$read_back'"
grep -q "KEY DOWN" "$log" && fail "the engine keyed what the WinKeyer was to send"

press "$main" F4
for ((i = 0; i < 100; i++)); do [[ $(sent) == *"PARIS P"* ]] && break; sleep 0.1; done
before=$(commands | grep -c '^0a$')
press "$main" Escape
sleep 0.5
(($(commands | grep -c '^0a$') > before)) || fail "Esc did not clear the WinKeyer's buffer"
stopped=$(sent)
sleep 1
[[ $(sent) == "$stopped" && $stopped != *"PARIS PARIS PARIS PARIS"* ]] ||
  fail "Esc did not stop the WinKeyer: '$(sent)'"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
commands | tail -1 | grep -qx '00 03' || fail "the WinKeyer was left in host mode"
kill $emulator
echo "winkeyer: ok"
