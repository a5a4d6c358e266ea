#!/usr/bin/env bash
# CW Options from the menu: a new speed is saved and shown in the title; the help opened from the dialog can be used and closed while
# the dialog stays open. All on a 1280x800 screen at twice the scale: the main
# window, the dialog and the help each fit on it.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
export XVFB_SCREEN=1280x800x24 QT_SCALE_FACTOR=2
window_session
printf 'Version=4.01\r\nCWPort=None\r\nCWSpeed=28\r\n' >"$ini"

"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no main window"
fits "$main" 1280 800
press "$main" alt+o c
options=$(wait_window "^ CW Messages, Speed, ...$") || fail "no CW Options dialog"
fits "$options" 1280 800
# Port, then Speed.
press "$options" Tab ctrl+a 3 5 Return
wait_gone "CW Messages, Speed" || fail "the dialog stayed open"
grep -q $'^CWSpeed= 35 \r$' "$ini" || fail "the speed was not saved: $(cat -A "$ini")"
wait_window "^ Orvex - 35 WPM$" 5 >/dev/null || fail "the title does not show the speed saved"

# The help beside the open dialog: it takes the keyboard and closes with Esc.
press "$main" alt+o c
options=$(wait_window "^ CW Messages, Speed, ...$") || fail "no CW Options dialog"
press "$options" alt+h
help=$(wait_window "^Orvex Help$") || fail "Help opened nothing"
fits "$help" 1280 800
press "$help" Escape
wait_gone "^Orvex Help$" 5 || fail "the help could not be closed while CW Options was open"
xdotool search --name "CW Messages, Speed" >/dev/null || fail "the dialog went with the help"
press "$options" Escape
wait_gone "CW Messages, Speed" || fail "Cancel did not close the dialog"
press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
echo "cw options: ok"
