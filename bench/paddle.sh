#!/usr/bin/env bash
# The operator's paddle to the key line and to the tone: a timeline of dit
# taps (the modem shim's status lines on a pseudo-terminal, one every 400
# ms, each from idle) keyed by orvex-send --paddle on COM1, idle and with
# one busy process, through each sound server.
#
#   bench/paddle.sh BUILD_DIR [TAPS] [SERVERS]
#
# Per run: from each tap (the moment the shim's line changed) to the key
# line's key-down in the key log (p50, p99, max), and from the key-down to
# its tone on the sink's recording (p50, p95: the tone of a change nobody
# planned, against where a planned edge sounds), and the machine's worst
# real-time stall meanwhile.
set -uo pipefail
build=$(cd "${1:?usage: bench/paddle.sh BUILD_DIR [TAPS] [SERVERS]}" && pwd)
taps=${2:-40}
servers=${3:-pulseaudio pipewire}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/support/sound_server.sh"
cmake --build "$build" --target orvex-send orvex_modem_shim sidetone_check stall_probe monitor_rec \
  >/dev/null || exit 1
export RECORDER=$build/bin/monitor_rec
source "$here/bench_lib.sh"
bench_work
socat -d pty,link="$work/tty",raw,echo=0 pty,link="$work/other",raw,echo=0 2>/dev/null &
for _ in $(seq 50); do [[ -e $work/tty ]] && break; sleep 0.1; done
printf 'CWSpeed=25\r\nPaddle=IambicB\r\nCWSidetone_Device=4\r\nCWSidetone_Enable=1\r\nCWTone=700\r\n' \
  >"$work/orvex.ini"
for ((i = 0; i < taps; i++)); do
  printf '%d CTS\n%d -\n' $((600 + i * 400)) $((620 + i * 400))
done >"$work/timeline"
seconds=$(((600 + taps * 400) / 1000 + 1))

# run LABEL: one orvex-send run, the sink recorded; prints a row.
run() {
  rm -f "$work/key.log" "$work/shim.log"
  sound_server_record "$work/tone.raw" "$work/stamps"
  "$build/bin/stall_probe" 100 >"$work/stall" &
  local probe=$!
  ORVEX_COM1=$work/tty LD_PRELOAD=$build/tests/orvex_modem_shim.so ORVEX_SHIM_PADDLE=$work/timeline \
    ORVEX_SHIM_LOG=$work/shim.log ORVEX_KEYER_LOG=$work/key.log \
    "$build/bin/orvex-send" --ini "$work/orvex.ini" --port COM1 --paddle "$seconds" >/dev/null 2>&1
  sleep 0.3
  kill $recorder $probe 2>/dev/null
  wait $recorder $probe 2>/dev/null
  local start key
  start=$(awk '$2 == "PADDLE" { print $1 }' "$work/shim.log")
  # Each tap's first key-down after it: its delay, and the key-down itself
  # as a change nobody planned, for the tone's delay behind it.
  awk -v start="$start" -v taps="$taps" -v hands="$work/hands" '
    $2 == "KEY" && $3 == "DOWN" { down[n++] = $1 }
    END {
      for (i = 0; i < taps; i++) {
        press = start + 600000 + i * 400000; best = -1
        for (j = 0; j < n; j++) if (down[j] >= press && (best < 0 || down[j] < best)) best = down[j]
        if (best < 0) continue
        printf "%.3f\n", (best - press) / 1000
        printf "unplanned %d\n", best > hands
      }
    }' "$work/key.log" | sort -n >"$work/delays"
  key=$(awk '{ d[NR] = $1 } END {
      if (NR) printf "%.2f %.2f %.2f", d[int(NR * 0.5) + 1], d[int(NR * 0.99) + 1], d[NR] }' \
    "$work/delays")
  local tone
  tone=$("$build/bin/sidetone_check" "$work/key.log" "$work/tone.raw" 48000 700 --unplanned \
    "$work/hands" | sed -n 's/.*p50 \([0-9.]*\)  p95 \([0-9.]*\).*/\1 \2/p')
  read -r k50 k99 kmax <<<"$key"
  read -r t50 t95 <<<"$tone"
  printf '%-10s %-5s | %-6s %-6s %-6s | %-6s %-6s | %s\n' "$server" "$1" "$k50" "$k99" "$kmax" \
    "${t50:--}" "${t95:--}" "$(sed 's/worst stall //; s/, \([0-9]*\) over 4 ms/ (\1 over 4 ms)/' \
    "$work/stall")"
}

printf '%-10s %-5s | %-20s | %-13s | %s\n' server load "tap to key ms" "key to tone" \
  "machine's worst stall"
printf '%-10s %-5s | %-6s %-6s %-6s | %-6s %-6s |\n' "" "" p50 p99 max p50 p95
for server in $servers; do
  before=$(jobs -p)
  SOUND_SERVER=$server sound_server_start "$work/$server"
  started=$(jobs -p | grep -vxF "$before")
  sleep 3  # a server just started settles (PipeWire's session manager) first
  run idle
  (while :; do :; done) &
  busy+=($!)
  run busy
  kill "${busy[@]}" $started 2>/dev/null
  busy=()
  sleep 1
done
