#!/usr/bin/env bash
# CW Options from the menu: a new speed is saved to orvex.ini and keyed at
# once, while the title keeps the old speed until the next speed command.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
under_xvfb "$@"
ORVEX=$1
export KEYLOG_TOOL=$2

e2e_session
printf 'Version=4.01\r\nCWPort=None\r\nCWSpeed=28\r\n' >"$ini"

"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window"
press "$main" alt+o c
options=$(wait_window "^ CW Messages, Speed, ...$") || fail "no CW Options dialog"
# Port, then Speed, then the sidetone box, then Tone Freq.
press "$options" Tab ctrl+a 3 5 Tab Tab ctrl+a 7 0 0 Return
sleep 0.5
xdotool search --name "CW Messages, Speed" >/dev/null && fail "the dialog stayed open"
grep -q $'^CWSpeed= 35 \r$' "$ini" || fail "the speed was not saved: $(cat -A "$ini")"
grep -q $'^CWTone= 700 \r$' "$ini" || fail "the tone was not saved"
xdotool search --name "^ Orvex - 28 WPM$" >/dev/null || fail "the title changed"

xdotool windowfocus --sync "$main"
n=$(lines "$log")
xdotool type "e"
wait_quiet "$log"
tail -n +"$((n + 1))" "$log" >"$log.part"
dot=$("$KEYLOG_TOOL" "$log.part" --downs | head -1)
awk -v d="$dot" 'BEGIN { exit !(d > 31 && d < 38) }' || fail "a dot after saving 35 WPM lasted $dot ms"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
echo "cw options: ok"
