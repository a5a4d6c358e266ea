#!/usr/bin/env bash
# First run in an empty program directory: the About box, the packet window,
# File/Exit, and the environment file left behind; then a run at twice the
# scale that keeps the window on the screen.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
under_xvfb

export PELORIN=$(mktemp -d) ORVEX_AUDIO=none  # about the first start, not the sound
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$PELORIN"' EXIT
ini=$PELORIN/orvex.ini

"$ORVEX" & pid=$!
about=$(wait_window "^About Orvex$") || fail "no About box on first run"
[[ -e $ini ]] && fail "environment file written before the About box was closed"
press "$about" Return
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window titled ' Orvex - 28 WPM'"
grep -q $'^Version=4.01\r$' "$ini" || fail "orvex.ini lacks Version=4.01 after the About box"

press "$main" alt+f x
wait_exit "$pid" 10 || fail "File/Exit did not end the program"
[[ $EXIT_STATUS -eq 0 ]] || fail "exit status $EXIT_STATUS"

# The first exit saves the centred placement.
grep -q $'^PacketTop= [0-9]\+ \r$' "$ini" || fail "no placement saved: $(cat -A "$ini")"
# A placement saved on a larger screen, restored at twice the scale: the
# whole window stays on the 1280 x 1024 screen (the line and the buttons in
# sight).
sed -i -e 's/^PacketTop=.*/PacketTop= 11700 \r/' -e 's/^PacketLeft=.*/PacketLeft= 13515 \r/' \
  -e 's/^PacketWidth=.*/PacketWidth= 21000 \r/' -e 's/^PacketHeight=.*/PacketHeight= 7200 \r/' "$ini"
QT_SCALE_FACTOR=2 "$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 28 WPM$") || fail "no packet window at twice the scale"
sleep 0.5
fits "$main" 1280 1024
press "$main" alt+f x
wait_exit "$pid" 10 || fail "the scaled run did not end"
echo "first run: ok"
