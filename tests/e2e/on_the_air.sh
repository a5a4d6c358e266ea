#!/usr/bin/env bash
# Never left on the air, read on the port's own lines (a pseudo-terminal
# whose modem lines the preloaded shim plays and records): Ctrl+Z stops
# orvex-send and the window with the key and PTT up, and after SIGCONT
# nothing half-sent goes out; a line that fails stops orvex-send at once; a
# paddle breaks into the window's message; the sound server dying
# mid-message opens its box, and PTT still falls at the end of its tail
# while the box is open.
set -uo pipefail
here=$(dirname "$0")
source "$here/lib.sh"
source "$here/../support/sound_server.sh"
window_session

pty_pair
lines_log=$PELORIN/lines.log
state=$PELORIN/state
on_port() {  # on_port PROGRAM ARGS...: runs it keying COM1 in the background; $pid
  ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_LOG=$lines_log ORVEX_SHIM_STATE=$state \
    "$@" 2>"$PELORIN/err" & pid=$!
}
# stop_and_go PID WHAT: Ctrl+Z while keying, the lines read while stopped,
# then SIGCONT: nothing keyed after it.
stop_and_go() {
  sleep 1
  kill -TSTP "$1"
  sleep 0.5
  [[ $(cat "$state") == "DTR=0 RTS=0" ]] || fail "$2 stopped with the lines at $(cat "$state")"
  local n
  n=$(lines "$lines_log")
  kill -CONT "$1"
  sleep 1.5
  ! tail -n +"$((n + 1))" "$lines_log" | grep -q "DTR 1" || fail "$2 went on keying after SIGCONT"
}

printf 'Version=4.01\r\nCWSidetone_Enable=0\r\nCWPort=COM1\r\nMsgCW2=PARIS PARIS PARIS PARIS PARIS PARIS\r\n' >"$ini"
on_port "$SEND" --ini "$ini" --port COM1 --wpm 25 --text "PARIS PARIS PARIS PARIS PARIS"
stop_and_go "$pid" orvex-send
wait_exit "$pid" 10 || fail "orvex-send did not end after SIGCONT"
((EXIT_STATUS == 1)) && grep -q "stopped (Ctrl+Z) while sending" "$PELORIN/err" ||
  fail "orvex-send stopped by Ctrl+Z ended with $EXIT_STATUS: $(cat "$PELORIN/err")"
# A line that fails while keying (an adapter pulled out) stops everything at
# once, with one clear message.
: >"$lines_log"
(sleep 1; touch "$PELORIN/unplugged") &
ORVEX_SHIM_FAIL=$PELORIN/unplugged on_port "$SEND" --ini "$ini" --port COM1 --wpm 30 \
  --text "PARIS PARIS PARIS PARIS PARIS"
wait_exit "$pid" 4 || fail "sending went on after the line failed"
((EXIT_STATUS == 1)) || fail "a failed line ended with status $EXIT_STATUS"
grep -q "^CW Setup: CW port COM1 ($PELORIN/tty) stopped working: Input/output error.$" \
  "$PELORIN/err" || fail "no clear message: $(cat "$PELORIN/err")"
(($(grep -c "stopped working" "$PELORIN/err") == 1)) || fail "the message came more than once"
changes=$(grep -c "DTR" "$lines_log")
((changes > 4 && changes < 60)) || fail "$changes key changes: not stopped at the failure"

on_port "$ORVEX"
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window"
press "$main" F2
stop_and_go "$pid" "the window"
n=$(lines "$lines_log")
press "$main" e
sleep 1
tail -n +"$((n + 1))" "$lines_log" | grep -q "DTR 1" || fail "the window keys no more after SIGCONT"
kill "$pid"
wait_exit "$pid" 10

# The paddle in the window: touched while a message goes, the message stops
# at once and the paddle's dah (3 units, 129 ms at 28 WPM) keys from there.
printf 'Version=4.01\r\nCWSidetone_Enable=0\r\nCWPort=COM1\r\nPaddle=IambicB\r\n%s\r\n' \
  'MsgCW2=PARIS PARIS PARIS PARIS PARIS PARIS' >"$ini"
printf '4000 DSR\n4060 -\n' >"$PELORIN/paddle"
rm -f "$log"
ORVEX_SHIM_PADDLE=$PELORIN/paddle on_port "$ORVEX"
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window with a paddle"
press "$main" F2
sleep 6
kill "$pid"
wait_exit "$pid" 10
read -r before down up <<<"$(grep " KEY " "$log" | tail -3 | cut -d' ' -f1 | tr '\n' ' ')"
((up - down > 124000 && up - down < 134000 && down - before < 400000)) ||
  fail "the paddle did not break in with its dah: $(tail -4 "$log")"

# The window killed (kill -9) while the radio's keyer sends with PTT by CAT:
# its guard puts PTT off at rigctld.
rig=$((20000 + RANDOM % 20000))
rigctld -m 1 -P RIG -T 127.0.0.1 -t "$rig" >/dev/null 2>&1 & rigctld=$!
radio_ptt() { [[ $(rigctl -m 2 -r "127.0.0.1:$rig" t 2>/dev/null) == "$1" ]]; }
within 5 radio_ptt 0
printf 'Version=4.01\r\nCWKeyer=Rig\r\nCWPttLine=Rig\r\nRigPort=127.0.0.1:%s\r\n%s\r\n' "$rig" \
  'MsgCW2=PARIS PARIS PARIS PARIS PARIS PARIS' >"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window keying the radio"
press "$main" F2
within 5 radio_ptt 1 || fail "the window: PTT by CAT never on"
kill -9 "$pid"
sleep 1
radio_ptt 0 || fail "the window killed left the radio transmitting"
kill $rigctld

# The sound server dies mid-message: its box opens, and PTT falls at the
# end of its tail all the same, long before anybody closes the box.
unset ORVEX_AUDIO
sound_server_start "$PELORIN/server"
printf 'Version=4.01\r\nCWPort=COM1\r\nCWSpeed=30\r\nCWPttTail=300\r\nCWSidetone_Device=4\r\n%s\r\n' \
  'MsgCW2=PARIS PARIS PARIS' >"$ini"
: >"$lines_log"
on_port "$ORVEX"
main=$(wait_window "^ Orvex - 30 WPM$") || fail "no packet window: $(cat "$PELORIN/err")"
press "$main" F2
sleep 1
kill -9 "$sound_server"
wait_window "^Sidetone$" 10 >/dev/null || fail "no Sidetone box"
wait_quiet "$lines_log" || fail "the message never ended"
last_up=$(grep "DTR 0" "$lines_log" | tail -1 | cut -d' ' -f1)
ptt_off=$(grep "RTS 0" "$lines_log" | tail -1 | cut -d' ' -f1)
[[ -n $ptt_off && $ptt_off -gt $last_up ]] || fail "PTT stayed on: $(tail -2 "$lines_log")"
# The tail (300 ms) after the last element: the message's closing gaps
# (6 units, 240 ms at 30 WPM) after the last key-up.
tail_ms=$(((ptt_off - last_up + 500) / 1000))  # the stamps come after each switch: to the ms
((tail_ms >= 300 && tail_ms <= 1000)) || fail "PTT fell ${tail_ms} ms after the last key-up"
xdotool search --name "^Sidetone$" >/dev/null || fail "the box was closed"
kill $socat
echo "on the air: ok"
