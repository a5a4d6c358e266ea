#!/usr/bin/env bash
# The sidetone through a sound server, side by side with a peer: Orvex and
# Debian's cw (unixcw, its PulseAudio output; skipped when not installed)
# send the same text RUNS times each through one private PulseAudio null
# sink, with two busy processes beside them, while the sink's output is
# recorded.
#
#   bench/sidetone.sh BUILD_DIR [RUNS] [WPM]
#
# Per run: key-downs and tones (one for one?), the offset of each tone edge
# from its key edge after fitting the recording's clock (median, p99, max;
# Orvex against its key log, cw, which keeps none, against the text's exact
# timing), what the program counted (ran dry, edges late, key changes late)
# and the worst stall of a real-time thread meanwhile.
# Then Esc to silence (the tone's half level): Orvex's Abort halfway through
# a dah, timed against its key log; cw, which has no Esc, stopped by Ctrl+C
# at a random moment, timed on the recording's clock (within about 1 ms).
set -uo pipefail
build=$(cd "${1:?usage: bench/sidetone.sh BUILD_DIR [RUNS] [WPM]}" && pwd)
runs=${2:-10}
wpm=${3:-25}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/support/sound_server.sh"
cmake --build "$build" --target orvex-send orvex_sidetone_driver sidetone_check stall_probe \
  monitor_rec signal_at >/dev/null || exit 1
peer=$(command -v cw)
[[ -n $peer ]] || echo "cw is not installed (apt-get install cw): Orvex alone"

work=$(mktemp -d)
busy=()
cleanup() {
  kill "${busy[@]}" 2>/dev/null
  kill $(jobs -p) 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
printf 'CWSidetone_Device=4\r\nCWSidetone_Enable=1\r\nCWTone=700\r\nCWWordSpace=7\r\n' >"$work/orvex.ini"
sound_server_start "$work/server"
# One long word: cw puts 10 units between words where standard timing has
# 7, so with spaces its edges could not be held against the exact timing.
text="CQCQDEDL1ABCDL1ABCPSEKTNXFERCALL5NN"
for _ in 1 2; do (while :; do :; done) & busy+=($!); done

# The text's exact timing, for a program that keeps no key log: Orvex's
# own key log with no sound at all.
ORVEX_AUDIO=none ORVEX_KEYER_LOG=$work/exact.log "$build/bin/orvex-send" --ini "$work/orvex.ini" \
  --port None --wpm "$wpm" --text "$text" >/dev/null 2>&1

# record OUT: starts recording the sink; $recorder, and $work/start once it ends.
record() {
  "$build/bin/monitor_rec" orvex.monitor "$1" >"$work/start" &
  recorder=$!
  sleep 1
}
stop_recording() {
  sleep 0.3
  kill $recorder
  wait $recorder 2>/dev/null
}
field() { sed -n "s/.*$1 \\([0-9.]*\\).*/\\1/p" <<<"$2"; }
row() { # who run check counted
  printf '%-6s %-3s | %-5s %-5s | %-6s %-6s %-6s | %-9s | %s\n' "$1" "$2" "$(field key-downs "$3")" \
    "$(field tones "$3")" "$(field median "$3")" "$(field p99 "$3")" "$(field max "$3")" "$4" "$5"
}

printf '%-6s %-3s | %-5s %-5s | %-6s %-6s %-6s | %-9s | %s\n' who run downs tones p50 p99 max \
  "counted" "machine (worst real-time stall)"
for ((run = 1; run <= runs; run++)); do
  rm -f "$work/key.log"
  record "$work/orvex.raw"
  "$build/bin/stall_probe" 30 >"$work/stall" &
  probe=$!
  ORVEX_KEYER_LOG=$work/key.log "$build/bin/orvex-send" --ini "$work/orvex.ini" --port None \
    --wpm "$wpm" --show-sidetone --text "$text" >"$work/out" 2>&1
  stop_recording
  kill $probe 2>/dev/null; wait $probe 2>/dev/null
  counted=$(sed -n 's/^sidetone: \([0-9]*\) times ran dry, \([0-9]*\) edges late, \([0-9]*\) key.*/\1\/\2\/\3/p' "$work/out")
  row Orvex "$run" "$("$build/bin/sidetone_check" "$work/key.log" "$work/orvex.raw" 48000 700)" \
    "$counted" "$(cat "$work/stall")"
  [[ -n $peer ]] || continue
  record "$work/peer.raw"
  "$build/bin/stall_probe" 30 >"$work/stall" &
  probe=$!
  echo "$text" | "$peer" -s p -w "$wpm" -t 700 -e -m
  stop_recording
  kill $probe 2>/dev/null; wait $probe 2>/dev/null
  row cw "$run" "$("$build/bin/sidetone_check" "$work/exact.log" "$work/peer.raw" 48000 700)" "-" \
    "$(cat "$work/stall")"
done

echo
echo "Esc to half level, ms"
for ((run = 1; run <= runs; run++)); do
  rm -f "$work/key.log"
  record "$work/orvex.raw"
  "$build/bin/orvex_sidetone_driver" "$work/key.log" "$wpm" "PARIS PARIS PARIS" \
    --stop-in-dah $((run % 7 + 2)) >"$work/driven"
  stop_recording
  orvex=$(sed -n 's/^from Esc to half level \([0-9.]*\) ms$/\1/p' <<<"$("$build/bin/sidetone_check" \
    "$work/key.log" "$work/orvex.raw" 48000 700 --stop "$(sed -n 's/^stop //p' "$work/driven")")")
  theirs=-
  if [[ -n $peer ]]; then
    record "$work/peer.raw"
    echo "PARIS PARIS PARIS" | "$peer" -s p -w "$wpm" -t 700 -e -m &
    sent=$!
    stopped=$("$build/bin/signal_at" $sent $((1000 + RANDOM % 1500)))
    wait $sent 2>/dev/null
    stop_recording
    theirs=$("$build/bin/sidetone_check" - "$work/peer.raw" 48000 700 --start "$(cat "$work/start")" \
      --stop "$stopped" | sed -n 's/^from the stop to half level \([0-9.-]*\) ms$/\1/p')
    [[ -n $theirs ]] || theirs="between tones"
  fi
  printf 'run %-3s Orvex %-8s cw %s\n' "$run" "${orvex:-between tones}" "$theirs"
done
