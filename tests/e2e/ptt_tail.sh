#!/usr/bin/env bash
# PTT that lets the operator listen, through orvex-send on a pseudo-terminal
# whose modem lines the shim records: the tail counts from the last key-up
# (CWPttTail=600 at 20 WPM: RTS falls 600 ms after DTR, not 780), and PTT
# falls during a #PAUSE longer than the tail, rising again with its lead
# before the next element.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
SEND=$1
SHIM=$2

e2e_session
pty_pair
lines=$PELORIN/lines.log
# key SECONDS ARGS...: keys through the shim; the lines' changes in $lines.
key() {
  rm -f "$lines"
  ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_LOG=$lines \
    "$SEND" --ini "$ini" --port COM1 --wpm 20 "$@" 2>"$PELORIN/err" || fail "orvex-send: $(cat "$PELORIN/err")"
}
# at LINE STATE N: the time (us) of the Nth change of LINE to STATE.
at() { awk -v l="$1" -v s="$2" -v n="$3" '$2 == l && $3 == s && ++c == n { print $1 }' "$lines"; }

printf 'CWPttLead=50\r\nCWPttTail=600\r\nCWSidetone_Enable=0\r\n' >"$ini"
key --text "E"
tail=$(($(at RTS 0 1) - $(at DTR 0 1)))
((tail >= 590000 && tail <= 640000)) || fail "RTS fell $tail us after the last key-up, not 600 ms"

printf 'CWPttLead=50\r\nCWPttTail=200\r\nCWSidetone_Enable=0\r\nMsgCW1=E #PAUSE 2 E\r\n' >"$ini"
key --msg 1
fell=$(at RTS 0 1) rose=$(at RTS 1 2) second=$(at DTR 1 2)
[[ -n $fell && -n $rose && -n $second ]] || fail "PTT did not fall and rise again in the pause: $(cat "$lines")"
(((fell - $(at DTR 0 1)) <= 260000)) || fail "PTT was held $(((fell - $(at DTR 0 1)) / 1000)) ms into the pause"
(((second - rose) >= 45000)) || fail "the element after the pause came $(((second - rose) / 1000)) ms after PTT"
kill $socat
echo "PTT tail and pause: ok"
