#!/usr/bin/env bash
# The packet window doing its job: typed text is keyed (editing it is the
# line editor's tests), messages go out on their keys (a held key sends its
# message once), Esc stops at once, and after F1 on a menu item opened the
# help and Esc closed it typing goes to the line again.
# What was keyed is read back from the keyer's log.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session
printf 'Version=4.01\r\nCall=DL1ABC\r\nCWPort=None\r\nCWSpeed=28\r\nMsgCW2=TEST\r\n%s\r\n%s\r\n' \
  'MsgCW1=CQ CQ CQ DE #ME #ME #ME K' 'MsgCW3=#HIM DE #ME TU' >"$ini"

"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window"
xdotool windowfocus --sync "$main"

expect_keyed() {  # expect_keyed FROM_LINE TEXT WHAT
  wait_quiet "$log" || fail "$3: the keyer never went quiet"
  local got
  got=$(keyed_since "$log" "$1" 42)
  [[ $got == "$2" ]] || fail "$3: keyed '$got', expected '$2'"
}

# Typed text goes out in order.
n=$(lines "$log")
xdotool type --delay 15 "cq test de dl1abc"
expect_keyed "$n" "CQ TEST DE DL1ABC" "typing"

# F3 sends message 3 with its calls; Ctrl+F1 sends message 1.
n=$(lines "$log")
xdotool key F3
expect_keyed "$n" "DE DL1ABC TU" "F3"

# Esc in the middle of a message stops it at once, and nothing more follows.
n=$(lines "$log")
xdotool key ctrl+F1
sleep 1.5
xdotool key Escape
wait_quiet "$log" || fail "the keying never stopped after Esc"
tail -n 1 "$log" | grep -Eq 'KEY UP|PTT OFF' || fail "Esc left the key down: $(tail -n 1 "$log")"
stopped=$(lines "$log")
sleep 1
[[ $(lines "$log") == "$stopped" ]] || fail "keying went on after Esc"
got=$(keyed_since "$log" "$n" 42)
# The character cut by Esc may read as another; all before it is the message.
[[ -n $got && "CQ CQ CQ DE DL1ABC DL1ABC DL1ABC K" == "${got%?}"* && ${#got} -lt 20 ]] ||
  fail "Esc: keyed '$got'"

# A held function key sends its message once.
n=$(lines "$log")
xdotool keydown F2
sleep 1.5
xdotool keyup F2
expect_keyed "$n" "TEST" "held F2"
# F1 on a highlighted menu item opens its help; Esc closes it, and typing
# goes to the line again.
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
expect_keyed "$n" "E" "typing after the help"
xdotool key alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
echo "packet window: ok"
