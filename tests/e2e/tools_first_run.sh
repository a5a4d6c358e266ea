#!/usr/bin/env bash
# The command-line tools as a new user meets them: orvex-send works on a
# first run (no settings directory yet) and exits 0; the speed is exact to
# the microsecond (28 WPM: a dot of 42.857 ms).
# Every program answers --version and --help without a display, and the
# window refuses an option it does not know rather than take it for a
# settings file's name.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_session
unset PELORIN
export HOME=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$HOME"' EXIT
cd "$HOME"

"$SEND" --dry-run --text "cq" >/dev/null 2>"$HOME/err" || fail "--dry-run on a first run failed: $(cat "$HOME/err")"
[[ ! -s $HOME/err ]] || fail "--dry-run on a first run said: $(cat "$HOME/err")"
"$SEND" --wav "$HOME/cq.wav" --text "cq" 2>"$HOME/err" || fail "--wav on a first run failed: $(cat "$HOME/err")"
[[ -s $HOME/cq.wav ]] || fail "no WAV written"

log=$HOME/key.log
ORVEX_KEYER_LOG=$log "$SEND" --port None --wpm 28 --text "eeeee" 2>"$HOME/err" ||
  fail "keying at 28 WPM failed: $(cat "$HOME/err")"
# The dots' median length, and the span from the first key-down to the
# last key-up (5 dots, 4 character gaps: 17 units, 728.571 ms; whole-ms
# units made them 714); a late wake only lengthens.
median=$(awk '$2 == "KEY" && $3 == "DOWN" { d = $1 } $2 == "KEY" && $3 == "UP" { print $1 - d }' "$log" |
  sort -n | sed -n 3p)
span=$(awk '$2 == "KEY" && !f { f = $1 } $2 == "KEY" { l = $1 } END { print l - f }' "$log")
((median >= 42557 && median <= 43157)) || fail "a dot at 28 WPM lasted $median us, not 42857"
((span >= 728000)) || fail "the five dots took $span us, less than 728571"


for program in "$SEND" "$KEYLOG_TOOL" "$KEYD" "$ORVEX"; do
  name=$(basename "$program")
  got=$(env -u DISPLAY "$program" --version) || fail "$name --version failed"
  [[ $got =~ ^$name\ [0-9]+\.[0-9]+ ]] || fail "$name --version said '$got'"
  env -u DISPLAY "$program" --help | grep -q "^usage: $name" || fail "$name --help printed no usage"
done
QT_QPA_PLATFORM=offscreen "$ORVEX" --bogus >/dev/null 2>"$HOME/err"
status=$?
((status == 2)) && grep -q "^orvex: unknown option '--bogus'" "$HOME/err" ||
  fail "orvex --bogus ended with $status: $(cat "$HOME/err")"
[[ -z $(find "$HOME" -name '*-help*' -o -name '*bogus*') ]] || fail "an option became a settings file"
echo "tools on a first run: ok"
