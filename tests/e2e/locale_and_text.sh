#!/usr/bin/env bash
# Under a comma-decimal locale numbers still read as the operator wrote them
# (a speed of 25.5 is 26, PacketFontSize=10.5 stays),
# and text Windows-1252 cannot hold survives the rewrite of orvex.ini.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session
export LOCPATH=$PELORIN/locales
mkdir -p "$LOCPATH"
localedef -i de_DE -f UTF-8 "$LOCPATH/de_DE.UTF-8" >/dev/null 2>&1 || fail "no German locale"
export LC_ALL=de_DE.UTF-8
# An older version wrote it: it is rewritten after the About box.
printf 'Version=4.00\r\nCall=SP5\xc5\x81X\r\nCWPort=None\r\nCWSpeed=40\r\nPacketFontSize=10.5\r\n%s\r\n' \
  $'MsgCW1=\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 73' >"$ini"

"$ORVEX" & pid=$!
about=$(wait_window "^About Orvex$") || fail "no About box"
press "$about" Return
main=$(wait_window "^ Orvex - 40 WPM$") || fail "no main window"
grep -q $'^PacketFontSize= 10.5 \r$' "$ini" || fail "the font size changed: $(grep FontSize "$ini")"
grep -q $'^Call=SP5\xc5\x81X\r$' "$ini" || fail "the call lost a letter: $(grep Call "$ini" | cat -A)"
grep -q $'^MsgCW1=\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 73\r$' "$ini" ||
  fail "message 1 lost its letters: $(grep MsgCW1 "$ini" | cat -A)"

press "$main" ctrl+F9
speed=$(wait_window "^ Set Speed$") || fail "no Set Speed prompt"
press "$speed" ctrl+a 2 5 period 5 Return
wait_window "^ Orvex - 26 WPM$" 5 >/dev/null || fail "25.5 did not make 26 WPM"
wait_gone "^ Set Speed$" || fail "the Set Speed prompt stayed open"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
echo "locale and text: ok"
