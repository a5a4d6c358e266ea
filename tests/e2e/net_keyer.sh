#!/usr/bin/env bash
# A logger keys through the window: text with a caret is keyed and answered
# as it ends, a speed command shows in the title, the operator's Esc stops a
# logger's text, and a port another program holds gives the CW Setup box.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session
port=$((20000 + RANDOM % 20000))
printf 'Version=4.01\r\nCWSpeed=28\r\nNetKeyer=%s\r\n' "$port" >"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no main window"

# A logger's exchange, with the reply its caret asks for.
reply=$(printf 'cq test^' | socat -t 6 - "UDP:127.0.0.1:$port")
[[ $reply == $'cq test\r' ]] || fail "reply '$reply'"
wait_quiet "$log"
got=$("$KEYLOG_TOOL" "$log" --as-planned)
[[ $got == "CQ TEST" ]] || fail "the logger's text keyed as '$got'"

printf '\e235' >"/dev/udp/127.0.0.1/$port"
wait_window "^ Orvex - 35 WPM$" 5 >/dev/null || fail "the title does not show the logger's speed"

n=$(lines "$log")
printf 'paris paris paris paris' >"/dev/udp/127.0.0.1/$port"
sleep 0.8
press "$main" Escape
wait_quiet "$log"
got=$(keyed_since "$log" "$n" 34)
((${#got} > 0 && ${#got} < 15)) || fail "Esc did not stop the logger's text: '$got'"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"

# Another program holds the port: the usual box, and the window still works.
socat -u "UDP-RECV:$port,bind=127.0.0.1" /dev/null & holder=$!
sleep 0.3
"$ORVEX" & pid=$!
box=$(wait_window "^CW Setup$") || fail "no CW Setup box for a port in use"
press "$box" Return
wait_window "^ Orvex - [0-9]* WPM$" 5 >/dev/null || fail "no main window after the box"
kill $holder
echo "net keyer: ok"
