#!/usr/bin/env bash
# Signals at random moments while keying at 99 WPM: whatever the signal,
# when the process is gone the key and PTT are up (the shim keeps the
# lines' true state in a file, written from inside the ioctl), and SIGPIPE
# does not end the keying.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
SEND=$1
SHIM=$2
ROUNDS=${3:-200}

e2e_session
set -m  # background jobs keep SIGINT and SIGQUIT (without job control bash ignores them)
pty_pair
printf 'CWPttLead=0\r\nCWSidetone_Enable=0\r\n' >"$ini"
signals=(INT TERM HUP QUIT ABRT SEGV BUS FPE ILL USR1 USR2 ALRM XCPU XFSZ VTALRM PROF TRAP SYS
         STKFLT PWR IO RTMIN RTMAX)
text=$(yes "PARIS" | head -200 | tr '\n' ' ')
for ((round = 1; round <= ROUNDS; round++)); do
  sig=${signals[RANDOM % ${#signals[@]}]}
  ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_STATE=$PELORIN/state \
    "$SEND" --ini "$ini" --port COM1 --wpm 99 --text "$text" 2>/dev/null & pid=$!
  sleep "0.$((RANDOM % 30 + 10))"
  kill -"$sig" "$pid" 2>/dev/null
  wait_exit "$pid" 10 || fail "SIG$sig did not end orvex-send"
  state=$(cat "$PELORIN/state")
  [[ $state == "DTR=0 RTS=0" ]] || fail "round $round, SIG$sig: the lines were left at $state"
done

# SIGPIPE is ignored: keying goes on, and ends with the lines up.
ORVEX_COM1=$PELORIN/tty LD_PRELOAD=$SHIM ORVEX_SHIM_STATE=$PELORIN/state \
  "$SEND" --ini "$ini" --port COM1 --wpm 99 --text "PARIS PARIS PARIS" 2>/dev/null & pid=$!
sleep 0.2
kill -PIPE "$pid"
wait_exit "$pid" 10 || fail "keying did not end after SIGPIPE"
((EXIT_STATUS == 0)) || fail "SIGPIPE ended keying (status $EXIT_STATUS)"
[[ $(cat "$PELORIN/state") == "DTR=0 RTS=0" ]] || fail "lines left up after SIGPIPE"
kill $socat
echo "signals: ok"
