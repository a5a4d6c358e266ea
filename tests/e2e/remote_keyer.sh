#!/usr/bin/env bash
# The window keying through a real orvex-keyd on another address
# (127.0.0.2 stands for the remote station): F3's message is keyed there
# and echoed here as the replies come, the status bar names the far keyer,
# Esc stops it there, and nothing is keyed on this side.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session "$@"
KEYD=$3
port=$((20000 + RANDOM % 20000))
remote=$PELORIN/remote.log
printf 'CWSpeed=20\r\n' >"$PELORIN/keyd.ini"
ORVEX_KEYER_LOG=$remote "$KEYD" --ini "$PELORIN/keyd.ini" --listen "127.0.0.2:$port" --port None 2>"$PELORIN/keyd.err" &
keyd=$!
for ((i = 0; i < 50; i++)); do grep -q "for loggers" "$PELORIN/keyd.err" && break; sleep 0.1; done
printf 'Version=4.01\r\nCWSpeed=30\r\nCall=DL1ABC\r\nCWKeyer=Remote\r\nRemoteKeyer=127.0.0.2:%s\r\n' \
  "$port" >"$ini"
printf 'MsgCW3=TEST DE #ME\r\nMsgCW4=PARIS PARIS PARIS PARIS\r\n' >>"$ini"
printf 'PacketFontName=DejaVu Sans Mono\r\nPacketFontSize=16\r\n' >>"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 30 WPM$") || fail "no main window"

press "$main" F3
wait_quiet "$remote"
got=$("$KEYLOG_TOOL" "$remote")
[[ $got == "TEST DE DL1ABC" ]] || fail "the far keyer keyed '$got'"
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -colorspace gray -resize 200% \
  "$PELORIN/window.png"
read_back=$(tesseract "$PELORIN/window.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
[[ $read_back == *"TEST DE DL1ABC"* ]] || fail "the echo reads '$read_back'"
[[ $read_back == *"Keyer at 127.0.0.2"* ]] || fail "the status bar reads '$read_back'"

n=$(lines "$remote")
press "$main" F4
for ((i = 0; i < 50; i++)); do (($(lines "$remote") > n + 8)) && break; sleep 0.1; done
press "$main" Escape
wait_quiet "$remote"
got=$(keyed_since "$remote" "$n" 40)
((${#got} > 0 && ${#got} < 12)) || fail "Esc did not stop the far keyer: '$got'"
tail -1 "$remote" | grep -q "KEY UP" || fail "the far key was left down"
grep -q "KEY DOWN" "$log" && fail "this side keyed what the far keyer was to send"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
kill $keyd
echo "remote_keyer: ok"
