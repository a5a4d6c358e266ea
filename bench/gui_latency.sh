#!/usr/bin/env bash
# Latency of the packet window under Xvfb: a typed character into an idle
# queue until its first key-down, and Esc until the key is up. Builds what it
# needs; run from the source tree: bench/gui_latency.sh [PRESSES]
set -euo pipefail
cd "$(dirname "$0")/.."
presses=${1:-50}
if [[ -z ${DISPLAY:-} ]]; then
  cmake --build build --target orvex gui_latency >/dev/null
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT
export PELORIN=$dir ORVEX_KEYER_LOG=$dir/key.log ORVEX_AUDIO=none

run() {  # run SPEED MODE
  printf 'Version=4.01\r\nCWSpeed=%s\r\nMsgCW1=%s\r\n' "$1" "$(printf 'T%.0s' {1..40})" \
    >"$dir/orvex.ini"
  : >"$ORVEX_KEYER_LOG"
  build/bin/orvex & local pid=$!
  local win=""
  for _ in $(seq 50); do
    win=$(xdotool search --name "Orvex - $1 WPM" 2>/dev/null | head -1) && [[ -n $win ]] && break
    sleep 0.1
  done
  xdotool windowfocus --sync "$win"
  build/bin/gui_latency "$2" "$ORVEX_KEYER_LOG" "$presses"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
run 28 typed
run 5 esc
