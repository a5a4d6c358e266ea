#!/usr/bin/env bash
# The sidetone through a sound server, side by side with a peer: Orvex and
# Debian's cw (unixcw, its PulseAudio output; skipped when not installed)
# send the same minute-long text RUNS times each through one private
# PulseAudio, then one private PipeWire (each with a null sink), with one
# busy process beside them, while the sink's output is recorded with the
# monotonic time of its samples.
#
#   bench/sidetone.sh BUILD_DIR [RUNS] [WPM] [SERVERS]
#
# SERVERS: "pulseaudio pipewire" unless given. Per run: key-downs and tones
# (one for one?), each tone edge's offset from its key edge on the
# recording's fitted clock (median, p99, max; Orvex against its key log, cw,
# which keeps none, against the text's exact timing), how far the tone
# moved from its key between the first and the last tones on the monotonic
# clock, what the program counted (ran dry, edges late, key changes late)
# and the machine's worst real-time stall meanwhile.
# Then, per run: twenty key-downs a hand starts with no plan (the test
# driver's, as a paddle's), their tone's delay behind where a planned edge
# sounds (p50, p95); and Esc to silence (the tone's half level): Orvex's
# Abort halfway through a dah, timed against its key log; cw, which has no
# Esc, stopped by Ctrl+C at a random moment, timed on the recording's clock.
set -uo pipefail
build=$(cd "${1:?usage: bench/sidetone.sh BUILD_DIR [RUNS] [WPM] [SERVERS]}" && pwd)
runs=${2:-10}
wpm=${3:-25}
servers=${4:-pulseaudio pipewire}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/support/sound_server.sh"
cmake --build "$build" --target orvex-send orvex_sidetone_driver sidetone_check stall_probe \
  monitor_rec signal_at >/dev/null || exit 1
export RECORDER=$build/bin/monitor_rec
peer=$(command -v cw)
[[ -n $peer ]] || echo "cw is not installed (apt-get install cw): Orvex alone"

source "$here/bench_lib.sh"
bench_work
printf 'CWSidetone_Device=4\r\nCWSidetone_Enable=1\r\nCWTone=700\r\nCWWordSpace=7\r\n' >"$work/orvex.ini"
# Long words: cw puts 10 units between words where standard timing has 7,
# so with spaces its edges could not be held against the exact timing.
word="CQCQDEDL1ABCDL1ABCPSEKTNXFERCALL5NN"
text=$word$word$word$word
(while :; do :; done) &
busy+=($!)

# The text's exact timing, for a program that keeps no key log: Orvex's
# own key log with no sound at all.
ORVEX_AUDIO=none ORVEX_KEYER_LOG=$work/exact.log "$build/bin/orvex-send" --ini "$work/orvex.ini" \
  --port None --wpm "$wpm" --text "$text" >/dev/null 2>&1

# record OUT: starts recording the sink with the samples' times in
# $work/stamps; $recorder, and $work/start once it ends.
record() {
  "$RECORDER" orvex.monitor "$1" "$work/stamps" >"$work/start" &
  recorder=$!
  sleep 1
}
stop_recording() {
  sleep 0.3
  kill $recorder
  wait $recorder 2>/dev/null
}
probe() {
  "$build/bin/stall_probe" 100 >"$work/stall" &
  prober=$!
}
probed() {
  kill $prober 2>/dev/null
  wait $prober 2>/dev/null
  sed 's/worst stall //; s/, \([0-9]*\) over 4 ms/ (\1 wakes over 4 ms)/' "$work/stall"
}
field() { sed -n "s/.*$1 \\([-+0-9.]*\\).*/\\1/p" <<<"$2" | head -1; }
row() { # who run check counted
  printf '%-6s %-3s | %-5s %-5s | %-6s %-6s %-6s | %-7s | %-9s | %s\n' "$1" "$2" \
    "$(field key-downs "$3")" "$(field tones "$3")" "$(field median "$3")" "$(field p99 "$3")" \
    "$(field max "$3")" "$(field moved "$3")" "$4" "$5"
}

for server in $servers; do
  SOUND_SERVER=$server sound_server_start "$work/$server"
  echo "== $server: $(pactl info | sed -n 's/^Server Name: //p'), $wpm WPM, one busy process"
  printf '%-6s %-3s | %-5s %-5s | %-6s %-6s %-6s | %-7s | %-9s | %s\n' who run downs tones p50 p99 \
    max moved "counted" "machine's worst stall"
  for ((run = 1; run <= runs; run++)); do
    rm -f "$work/key.log"
    record "$work/orvex.raw"
    probe
    ORVEX_KEYER_LOG=$work/key.log "$build/bin/orvex-send" --ini "$work/orvex.ini" --port None \
      --wpm "$wpm" --show-sidetone --text "$text" >"$work/out" 2>&1
    stop_recording
    counted=$(sed -n 's/^sidetone: \([0-9]*\) times ran dry, \([0-9]*\) edges late, \([0-9]*\) key.*/\1\/\2\/\3/p' "$work/out")
    row Orvex "$run" "$("$build/bin/sidetone_check" "$work/key.log" "$work/orvex.raw" 48000 700 \
      --clock "$work/stamps")" "$counted" "$(probed)"
    [[ -n $peer ]] || continue
    record "$work/peer.raw"
    probe
    echo "$text" | "$peer" -s p -w "$wpm" -t 700 -e -m
    stop_recording
    row cw "$run" "$("$build/bin/sidetone_check" "$work/exact.log" "$work/peer.raw" 48000 700 \
      --clock "$work/stamps")" "-" "$(probed)"
  done

  echo
  echo "A hand's key-down to its tone (20 per run, p50 / p95 ms); Esc to half level, ms"
  for ((run = 1; run <= runs; run++)); do
    rm -f "$work/key.log"
    record "$work/orvex.raw"
    "$build/bin/orvex_sidetone_driver" "$work/key.log" "$wpm" "PARIS" --unplanned 20 >"$work/driven"
    stop_recording
    hand=$("$build/bin/sidetone_check" "$work/key.log" "$work/orvex.raw" 48000 700 \
      --unplanned "$work/driven" | sed -n 's/.*p50 \([0-9.]*\)  p95 \([0-9.]*\).*/\1 \/ \2/p')
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
    printf 'run %-3s hand %-13s Esc: Orvex %-8s cw %s\n' "$run" "${hand:--}" "${orvex:-between tones}" \
      "$theirs"
  done
  kill $(jobs -p | grep -vw "${busy[0]}") 2>/dev/null
  sleep 1
  echo
done
