#!/usr/bin/env bash
# orvex-send keying for real: the end of a line is a word space, and a key
# line that fails while keying (an adapter pulled out) stops everything at
# once with one clear message. The serial port is a pseudo-terminal whose modem lines
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

# PTT leads the first element and holds its tail; tune keys down with PTT.
rm -f "$PELORIN/unplugged" "$PELORIN/lines.log"
export LD_PRELOAD=$SHIM
printf 'CWPttLead=200\r\nCWPttTail=600\r\n' >"$PELORIN/ptt.ini"
"$SEND" --ini "$PELORIN/ptt.ini" --port COM1 --wpm 30 --text "EE" || fail "keying with PTT timing failed"
"$SEND" --ini "$PELORIN/ptt.ini" --port COM1 --tune 1 || fail "tune failed"
unset LD_PRELOAD
awk 'BEGIN { n = 0 } { t[n] = $1; what[n] = $2 $3; n++ }
     END { # two runs: "EE" then the tune
       if (what[0] != "RTS1" || what[1] != "DTR1") exit 1
       # the tail runs from the end of the last element: 3 units (120 ms) after the key-up
       lead = (t[1] - t[0]) / 1000; tail = (t[5] - t[4]) / 1000; tune = (t[8] - t[7]) / 1000
       printf "lead %d ms, tail %d ms, tune %d ms\n", lead, tail, tune
       exit !(lead >= 195 && lead < 230 && what[5] == "RTS0" && tail >= 715 && tail < 770 &&
              what[8] == "DTR0" && tune >= 995 && tune < 1040)
     }' "$PELORIN/lines.log" || fail "PTT timing: $(cat "$PELORIN/lines.log")"
kill $socat
echo "send line: ok"
