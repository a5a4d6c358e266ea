#!/usr/bin/env bash
# Never on the air when orvex-send is killed, on every way of keying: kill -9
# (which no handler of its own sees) in the middle of a message and of a
# tune leaves key and PTT up at the device within a second (on the port's
# lines every other deadly signal too; SIGPIPE does not end the keying),
# read where a station would see it: the port's lines (a pseudo-terminal whose modem
# lines the shim plays), the WinKeyer (the emulator's log), the radio
# (rigctld with Hamlib's dummy, read back by rigctl), the far keyer (a real
# orvex-keyd's lines). A CAT connection cut mid-message turns PTT off as
# well; the far keyer hears Ctrl+Z at once, and a near end stopped without
# a word (SIGSTOP) at its silence limit.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_session
pty_pair

lines_up() { [[ $(cat "$1" 2>/dev/null) == "DTR=0 RTS=0" ]]; }
on_air() { [[ $(cat "$1" 2>/dev/null) == *"=1"* ]]; }
# send WHAT...: orvex-send keying, with the shim on the near pseudo-terminal; $pid.
send() {
  ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_STATE=$PELORIN/state \
    "$SEND" --ini "$ini" "$@" 2>>"$PELORIN/err" & pid=$!
}
message=(--text "PARIS PARIS PARIS PARIS PARIS PARIS")
# killed NAME SAFE...: kill -9 (or SIG) a second into the send, then SAFE within 1 s.
killed() {
  local name=$1
  shift
  sleep 1
  kill -"${SIG:-KILL}" "$pid"
  within 1 "$@" || fail "$name: not safe within 1 s of SIG${SIG:-KILL}"
  wait "$pid" 2>/dev/null
  sleep 0.1  # the guard says its abort again within 10 ms: not to the next sender's tune
}

# The port's own lines.
printf 'CWSidetone_Enable=0\r\nCWPort=COM1\r\nCWSpeed=20\r\n' >"$ini"
for what in message tune; do
  [[ $what == tune ]] && args=(--tune 10) || args=("${message[@]}")
  send --port COM1 "${args[@]}"
  within 2 on_air "$PELORIN/state" || fail "line $what: never on the air"
  killed "line $what" lines_up "$PELORIN/state"
done
set -m  # background jobs keep SIGINT and SIGQUIT (without job control bash ignores them)
for sig in INT TERM HUP QUIT SEGV ABRT USR1 ALRM XCPU; do
  send --port COM1 "${message[@]}"
  within 2 on_air "$PELORIN/state" || fail "line, SIG$sig: never on the air"
  SIG=$sig killed "the line at SIG$sig" lines_up "$PELORIN/state"
done
set +m
send --port COM1 --wpm 99 --text "PARIS PARIS PARIS"
sleep 0.2
kill -PIPE "$pid"
wait_exit "$pid" 10 && ((EXIT_STATUS == 0)) || fail "SIGPIPE ended the keying"
lines_up "$PELORIN/state" || fail "lines left up after SIGPIPE"

# A WinKeyer: cleared, key and PTT up, host mode closed.
"$EMULATOR" "$PELORIN/wk.log" >"$PELORIN/device" & emulator=$!
within 2 test -s "$PELORIN/device" || fail "the emulator gave no device"
device=$(cat "$PELORIN/device")
printf 'CWKeyer=WinKeyer\r\nCWPort=%s\r\nCWSpeed=20\r\n' "$device" >"$ini"
wk_safe() { tail -4 "$PELORIN/wk.log" | grep -qx '[0-9]* 00 03' && grep -q ' 0b 00$' "$PELORIN/wk.log"; }
for what in message tune; do
  [[ $what == tune ]] && args=(--tune 10) || args=("${message[@]}")
  : >"$PELORIN/wk.log"
  send --port "$device" "${args[@]}"
  killed "WinKeyer $what" wk_safe
done
kill $emulator

# The radio: PTT by CAT around its own keyer's text, and around a tune on
# the port's line; a connection cut mid-message (the relay's child killed).
rig=$((20000 + RANDOM % 20000))
rigctld -m 1 -P RIG -T 127.0.0.1 -t "$rig" >/dev/null 2>&1 &
socat "TCP-LISTEN:$((rig + 1)),fork,reuseaddr,bind=127.0.0.1" "TCP:127.0.0.1:$rig" & relay=$!
radio_ptt() { [[ $(rigctl -m 2 -r "127.0.0.1:$rig" t 2>/dev/null) == "$1" ]]; }
within 5 radio_ptt 0 || fail "rigctld did not start"
printf 'CWKeyer=Rig\r\nCWPttLine=Rig\r\nRigPort=127.0.0.1:%s\r\nCWSpeed=20\r\n' "$rig" >"$ini"
send --port None "${message[@]}"
within 2 radio_ptt 1 || fail "the radio's keyer: PTT never on"
killed "the radio's keyer" radio_ptt 0
printf 'CWPort=COM1\r\nCWSidetone_Enable=0\r\nCWPttLine=Rig\r\nRigPort=127.0.0.1:%s\r\n' "$rig" >"$ini"
send --port COM1 --tune 10
within 2 radio_ptt 1 || fail "tune with PTT by CAT: PTT never on"
killed "a tune with PTT by CAT" radio_ptt 0
lines_up "$PELORIN/state" || fail "a tune with PTT by CAT: the key left down"
printf 'CWKeyer=Rig\r\nCWPttLine=Rig\r\nRigPort=127.0.0.1:%s\r\nCWSpeed=20\r\n' "$((rig + 1))" >"$ini"
send --port None "${message[@]}"
within 2 radio_ptt 1 || fail "through the relay: PTT never on"
pkill -P $relay
within 1 radio_ptt 0 || fail "PTT left on when the CAT connection was cut"
wait_exit "$pid" 10 && ((EXIT_STATUS == 1)) || fail "a cut connection did not end the send with 1"
grep -q "opened again and PTT switched off" "$PELORIN/err" || fail "not told: $(cat "$PELORIN/err")"

# The far keyer: orvex-keyd keying its own pseudo-terminal's lines.
socat pty,raw,echo=0,link="$PELORIN/far" pty,raw,echo=0 & far_pty=$!
within 2 test -e "$PELORIN/far" || fail "no far pseudo-terminal"
far=$((rig + 2))
printf 'CWSidetone_Enable=0\r\n' >"$PELORIN/keyd.ini"
ORVEX_COM1=$PELORIN/far LD_PRELOAD=$SHIM ORVEX_SHIM_STATE=$PELORIN/far.state \
  "$KEYD" --ini "$PELORIN/keyd.ini" --port COM1 --listen "127.0.0.2:$far" 2>"$PELORIN/keyd.err" &
within 5 grep -q "for loggers" "$PELORIN/keyd.err" || fail "orvex-keyd did not start"
printf 'CWKeyer=Remote\r\nRemoteKeyer=127.0.0.2:%s\r\nCWSpeed=20\r\n' "$far" >"$ini"
for what in message tune; do
  [[ $what == tune ]] && args=(--tune 10) || args=("${message[@]}")
  send --port None "${args[@]}"
  within 2 on_air "$PELORIN/far.state" || fail "far keyer $what: never on the air"
  killed "the far keyer's $what" lines_up "$PELORIN/far.state"
done
# Ctrl+Z reaches the far end before the process stops; SIGSTOP cannot be
# caught, and the far end ends the tune once the near end has been silent
# for NetSilenceLimit (3 s).
for stop in TSTP STOP; do
  send --port None --tune 10
  within 2 on_air "$PELORIN/far.state" || fail "far tune: never on the air"
  sleep 1
  kill -$stop "$pid"
  [[ $stop == TSTP ]] && limit=1 || limit=4
  within $limit lines_up "$PELORIN/far.state" || fail "SIG$stop: the far tune went on"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null
  sleep 0.2
done
grep -q "went silent for 3 s" "$PELORIN/keyd.err" || fail "orvex-keyd did not say why it stopped"
kill $relay $far_pty $socat 2>/dev/null
echo "killed: ok"
