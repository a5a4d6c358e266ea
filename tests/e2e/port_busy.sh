#!/usr/bin/env bash
# A port that cannot be opened never swallows typing: with orvex-keyd
# holding COM1, the window starts (after its "CW Setup" box), says above the
# line that nothing is keyed, naming orvex-keyd, and keeps what is typed;
# once the port is free, "Try the port again" keys it.
set -uo pipefail
here=$(dirname "$0")
source "$here/lib.sh"
window_session

pty_pair
printf 'Version=4.01\r\nCWSidetone_Enable=0\r\nCWPort=COM1\r\nCWPttLead=0\r\n' >"$ini"
export ORVEX_COM1=$PELORIN/tty
LD_PRELOAD=$SHIM "$KEYD" --ini "$ini" --port COM1 --listen 127.0.0.1:$((18000 + RANDOM % 1000)) \
  2>"$PELORIN/keyd.err" & keyd=$!
within 5 grep -q "for loggers" "$PELORIN/keyd.err"

LD_PRELOAD=$SHIM ORVEX_SHIM_LOG=$PELORIN/lines.log "$ORVEX" & pid=$!
box=$(wait_window "^CW Setup$") || fail "no CW Setup box for the busy port"
press "$box" Return
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window"
press "$main" e e
sleep 0.5
# Read as a person reads it: the window in black and white, enlarged.
import -window "$main" "$PELORIN/window.png"
convert "$PELORIN/window.png" -colorspace Gray -threshold 60% -resize 200% "$PELORIN/read.png"
said=$(tesseract "$PELORIN/read.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
grep -q "Nothing is keyed" <<<"$said" || fail "the window does not say nothing is keyed: $said"
grep -q "orvex-keyd" <<<"$said" || fail "the window does not name orvex-keyd: $said"
! grep -q "DTR 1" "$PELORIN/lines.log" 2>/dev/null || fail "keyed while the port was held"

kill "$keyd"
wait "$keyd"
press "$main" alt+t
sleep 1.5
(($(grep -c "DTR 1" "$PELORIN/lines.log" 2>/dev/null) == 2)) ||
  fail "what was typed was not keyed once the port was back: $(cat "$PELORIN/lines.log" 2>/dev/null)"
kill "$pid" $socat
echo "a busy port keeps the typing: ok"
