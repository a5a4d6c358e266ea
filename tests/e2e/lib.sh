# Helpers for end-to-end tests that drive the real program under Xvfb.
# There is no window manager: a window gets the keyboard by windowfocus.

fail() { echo "FAIL: $*" >&2; exit 1; }

# under_xvfb: runs the calling script again inside its own X server when
# there is no display (call it first; "$0" is the script). The server does
# not reset when its last client leaves: a test's xdotool is often that
# client, and a window connecting during the reset is refused.
under_xvfb() {
  [[ -n ${DISPLAY:-} ]] ||
    exec xvfb-run -a -s "-screen 0 ${XVFB_SCREEN:-1280x1024x24} -noreset" "$0"
}

# The programs and stand-ins under test come in the environment: $ORVEX,
# $SEND, $KEYD, $KEYLOG_TOOL, $SHIM, $EMULATOR (and for the sidetone $CHECK,
# $DRIVER, $RECORDER; for the package $BUILD).

# window_session: the preamble of a test of the window: its own X server
# and an e2e_session.
window_session() {
  under_xvfb
  e2e_session
}

# e2e_session: a fresh program directory in $PELORIN, removed at exit with
# whatever the test started; the key log in $log, orvex.ini in $ini; no sound.
e2e_session() {
  export PELORIN
  PELORIN=$(mktemp -d)
  trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$PELORIN"' EXIT
  export ORVEX_KEYER_LOG=$PELORIN/key.log ORVEX_AUDIO=none
  log=$ORVEX_KEYER_LOG
  ini=$PELORIN/orvex.ini
}

# pty_pair: a pseudo-terminal pair, $PELORIN/tty for the program under
# test and $PELORIN/other; $socat is its pid.
pty_pair() {
  socat pty,raw,echo=0,link="$PELORIN/tty" pty,raw,echo=0,link="$PELORIN/other" & socat=$!
  within 5 test -e "$PELORIN/tty"
}

# within SECONDS COMMAND...: true once COMMAND succeeds, polled every 20 ms
# (every POLL_MS ms when set: the X server is asked every 100 ms, as often
# as a person would look, not fifty times a second).
within() {
  local limit=$1 ms=${POLL_MS:-20} i
  shift
  for ((i = 0; i < limit * 1000 / ms; i++)); do
    "$@" && return 0
    sleep "0.$(printf %03d "$ms")"
  done
  "$@"
}

# wait_window NAME [SECONDS]: prints the id of the first window whose title
# matches NAME, waiting for it to appear.
window_id() { xdotool search --name "$1" 2>/dev/null | head -1 | grep .; }
wait_window() { POLL_MS=100 within "${2:-15}" window_id "$1"; }

# wait_gone NAME [SECONDS]: waits until no window's title matches NAME.
no_window() { ! xdotool search --name "$1" >/dev/null 2>&1; }
wait_gone() { POLL_MS=100 within "${2:-10}" no_window "$1"; }

# fits WINDOW WIDTH HEIGHT: the window lies whole inside WIDTH x HEIGHT.
fits() {
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  ((X >= 0 && Y >= 0 && X + WIDTH <= $2 && Y + HEIGHT <= $3)) ||
    fail "$(xdotool getwindowname "$1") lies at ${X},${Y}, ${WIDTH}x${HEIGHT}: not inside $2x$3"
}

# wait_exit PID [SECONDS]: waits for the process to end; its status in $EXIT_STATUS.
gone() { ! kill -0 "$1" 2>/dev/null; }
wait_exit() {
  within "${2:-15}" gone "$1" || return 1
  wait "$1"
  EXIT_STATUS=$?
}

# press WINDOW KEYS...: focuses the window and types the keys.
press() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id"
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.2
  done
}

# wait_quiet FILE: waits until FILE has not grown for 0.8 s (at most 30 s).
wait_quiet() {
  local last=-1 size stable=0 i
  for ((i = 0; i < 300 && stable < 8; i++)); do
    size=$(stat -c %s "$1" 2>/dev/null || echo 0)
    [[ $size == "$last" ]] && ((stable += 1)) || stable=0
    last=$size
    sleep 0.1
  done
  ((stable >= 8))
}

# lines FILE: how many lines FILE holds now.
lines() { wc -l <"$1" 2>/dev/null || echo 0; }

# keyed_since LOG N [UNIT_MS]: the text keyed after line N of the key log,
# as the program keyed it: a change the keyer counted late (the machine held
# it) goes back where it was planned.
keyed_since() {
  tail -n +"$(($2 + 1))" "$1" >"$1.part"
  "$KEYLOG_TOOL" "$1.part" --as-planned ${3:+--unit-ms $3}
}
