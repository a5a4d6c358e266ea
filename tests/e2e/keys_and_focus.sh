#!/usr/bin/env bash
# The keyboard at a real station: a held function key sends its message once,
# and after F1 on a menu item opened the help and Esc closed it, typing goes
# to the line again and Esc still stops a running message.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session "$@"
printf 'Version=4.01\r\nCWPort=None\r\nCWSpeed=40\r\nMsgCW1=VVV\r\nMsgCW2=TEST\r\nMsgCW3=%s\r\n' \
  'CQ CQ CQ CQ CQ CQ CQ' >"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 40 WPM$") || fail "no main window"
xdotool windowfocus --sync "$main"

held() {  # held KEY EXPECTED
  local n got
  n=$(lines "$log")
  xdotool keydown "$1"
  sleep 1.5
  xdotool keyup "$1"
  wait_quiet "$log" || fail "$1: the keyer never went quiet"
  got=$(keyed_since "$log" "$n" 30)
  [[ $got == "$2" ]] || fail "held $1 keyed '$got', expected '$2' once"
}
held F2 "TEST"
held ctrl+F1 "VVV"

# F1 on a highlighted menu item opens its help; Esc closes it.
xdotool key alt+c Down Down
xdotool key F1
help=$(wait_window "^Orvex Help$") || fail "F1 on a menu item opened no help"
xdotool windowfocus --sync "$help"
xdotool key Escape
wait_gone "^Orvex Help$" || fail "Esc did not close the help"
xdotool key Escape  # the menu, if it is still open
xdotool windowfocus --sync "$main"
n=$(lines "$log")
xdotool type "e"
wait_quiet "$log"
[[ $(keyed_since "$log" "$n" 30) == "E" ]] || fail "typing after the help went nowhere"

n=$(lines "$log")
xdotool key F3
sleep 0.8
xdotool key Escape
wait_quiet "$log"
tail -n 1 "$log" | grep -Eq 'KEY UP|PTT OFF' || fail "Esc left the key down"
got=$(keyed_since "$log" "$n" 30)
((${#got} < 12)) || fail "Esc did not stop the message: keyed '$got'"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
echo "keys and focus: ok"
