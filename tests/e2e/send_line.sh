#!/usr/bin/env bash
# orvex-send keying for real: the end of a line is a word space, and a key
# line that fails while keying (an adapter pulled out) stops everything at
# once with one clear message. (PTT timing on a line: the keyd and schedule
# tests.) The serial port is a pseudo-terminal whose modem lines
# the preloaded shim plays.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
SEND=$1
export KEYLOG_TOOL=$2
SHIM=$3

e2e_session
printf 'CQ DE DL1ABC\nTEST\n' >"$PELORIN/lines.txt"
"$SEND" --ini "$ini" --port None --wpm 50 --file "$PELORIN/lines.txt" || fail "orvex-send failed"
got=$("$KEYLOG_TOOL" "$log" --unit-ms 24)
[[ $got == "CQ DE DL1ABC TEST" ]] || fail "two lines keyed as '$got'"

socat pty,raw,echo=0,link="$PELORIN/tty" pty,raw,echo=0,link="$PELORIN/other" & socat=$!
for _ in $(seq 50); do [[ -e $PELORIN/tty ]] && break; sleep 0.1; done
export ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_LOG=$PELORIN/lines.log \
  ORVEX_SHIM_STATE=$PELORIN/state ORVEX_SHIM_FAIL=$PELORIN/unplugged
(sleep 1; touch "$PELORIN/unplugged") &
start=$SECONDS
"$SEND" --ini "$ini" --port COM1 --wpm 30 --text "PARIS PARIS PARIS PARIS PARIS" 2>"$PELORIN/err"
status=$?
((SECONDS - start < 4)) || fail "sending went on after the line failed"
unset LD_PRELOAD
((status == 1)) || fail "a failed line ended with status $status"
grep -q "^CW Setup: CW port COM1 ($PELORIN/tty) stopped working: Input/output error.$" "$PELORIN/err" ||
  fail "no clear message: $(cat "$PELORIN/err")"
(($(grep -c "stopped working" "$PELORIN/err") == 1)) || fail "the message came more than once"
changes=$(grep -c "DTR" "$PELORIN/lines.log")
((changes > 4 && changes < 60)) || fail "$changes key changes: not stopped at the failure"

kill $socat
echo "send line: ok"
