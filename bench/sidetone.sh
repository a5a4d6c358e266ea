#!/usr/bin/env bash
# The sidetone through a sound server, measured: PARIS at 25 and 40 WPM for
# SECONDS each (60 by default), idle and with two busy processes, through a
# private PulseAudio with a null sink whose output is recorded and held
# against the key log.
#
#   bench/sidetone.sh BUILD_DIR [SECONDS] [RUNS]
#
# Per run: key-downs and tones, dropouts (tones lost or split), how often
# the server ran dry, edge error (median, p99, max) after fitting the
# recording's clock, the delay from key to sound the program reports and
# the one measured (from the recorder's own latency reading), and
# how long a real-time thread was kept waiting at worst meanwhile (a
# machine that stalls longer than the buffer makes the server run dry,
# whatever the program does). ORVEX_SIDETONE_MS passes through.
set -uo pipefail
build=$(cd "${1:?usage: bench/sidetone.sh BUILD_DIR [SECONDS] [RUNS]}" && pwd)
seconds=${2:-60}
runs=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/support/sound_server.sh"
cmake --build "$build" --target orvex-send sidetone_check stall_probe monitor_rec >/dev/null || exit 1

work=$(mktemp -d)
busy=()
cleanup() {
  kill "${busy[@]}" 2>/dev/null
  kill $(jobs -p) 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
printf 'CWSidetone_Device=4\r\nCWSidetone_Enable=1\r\nCWTone=700\r\n' >"$work/orvex.ini"
sound_server_start "$work/server"

printf '%-4s %-5s %-4s | %-9s %-8s %-7s | %-26s | %-11s | %s\n' WPM load run key-downs dropouts "ran dry" \
  "edge error p50/p99/max ms" "delay ms (told/measured)" "machine"
for wpm in 25 40; do
  # PARIS is 50 units; a unit is 1200 / wpm ms.
  count=$((seconds * 1000 * wpm / 1200 / 50))
  text=$(yes PARIS | head -n "$count" | tr '\n' ' ')
  for load in idle busy; do
    if [[ $load == busy ]]; then
      for _ in 1 2; do (while :; do :; done) & busy+=($!); done
    fi
    for ((run = 1; run <= runs; run++)); do
      rm -f "$work/key.log"
      "$build/bin/monitor_rec" orvex.monitor "$work/tone.raw" >"$work/start" &
      recorder=$!
      sleep 1
      "$build/bin/stall_probe" "$((seconds + 3))" >"$work/stall" &
      probe=$!
      ORVEX_KEYER_LOG=$work/key.log "$build/bin/orvex-send" --ini "$work/orvex.ini" --port None \
        --wpm "$wpm" --show-sidetone --text "$text" >"$work/out" 2>&1
      sleep 0.3
      kill $recorder $probe 2>/dev/null
      wait $recorder $probe 2>/dev/null
      check=$("$build/bin/sidetone_check" "$work/key.log" "$work/tone.raw" 48000 700 --start "$(cat "$work/start")")
      read -r downs tones dropouts p50 p99 max <<<"$(sed -E \
        's/key-downs ([0-9]+) +tones ([0-9]+) +dropouts ([0-9]+) +edge error ms: median ([0-9.]+) +p99 ([0-9.]+) +max ([0-9.]+).*/\1 \2 \3 \4 \5 \6/' <<<"$check")"
      delay=with
      delay="$delay / $(sed -n 's/^delay from key to tone \([0-9.]*\) ms$/\1/p' <<<"$check")"
      dry=$(sed -n 's/^sidetone: \([0-9]*\) times ran dry.*/\1/p' "$work/out")
      printf '%-4s %-5s %-4s | %-9s %-8s %-7s | %-26s | %-11s | %s\n' "$wpm" "$load" "$run" "$downs" \
        "$dropouts" "$dry" "$p50 / $p99 / $max" "$delay" "$(cat "$work/stall" 2>/dev/null)"
    done
    if [[ $load == busy ]]; then
      kill "${busy[@]}" 2>/dev/null
      wait "${busy[@]}" 2>/dev/null
      busy=()
    fi
  done
done
