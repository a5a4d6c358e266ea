#!/usr/bin/env bash
# F3 shows its message, macros expanded, in the echo above the line while it
# is keyed: the echo is photographed and read back with OCR.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
window_session "$@"
printf 'Version=4.01\r\nCWSpeed=12\r\nCall=DL1ABC\r\nMsgCW3=TEST DE #ME\r\nPacketFontName=DejaVu Sans Mono\r\nPacketFontSize=16\r\n' >"$ini"
"$ORVEX" & pid=$!
main=$(wait_window "^ Orvex - 12 WPM$") || fail "no main window"
press "$main" F3
sleep 1.5  # "TEST" and more are keyed by now; the rest waits
eval "$(xdotool getwindowgeometry --shell "$main")"
# The echo: the upper part of the window, below the menu bar.
import -window root -crop "${WIDTH}x$((HEIGHT / 3))+${X}+$((Y + 25))" +repage \
  -colorspace gray -resize 200% "$PELORIN/echo.png"
read_back=$(tesseract "$PELORIN/echo.png" - --psm 6 2>/dev/null | tr -s ' \n' ' ')
# The character being keyed is drawn highlighted, which OCR may misread.
[[ $read_back == *TE*" DE DL1ABC"* ]] || fail "the echo reads '$read_back'"
grep -q "KEY DOWN" "$log" || fail "nothing keyed"
press "$main" Escape
press "$main" alt+f x
wait_exit "$pid" 10 || fail "the program did not end"
echo "echo: ok"
