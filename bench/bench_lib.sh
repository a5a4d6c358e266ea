# Shared by the benchmark scripts. Sourced.

# bench_work: a scratch directory in $work, removed at exit with everything
# the script started; busy processes the script adds to $busy are killed too.
bench_work() {
  work=$(mktemp -d)
  busy=()
  trap 'kill "${busy[@]}" 2>/dev/null; kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
}
