# A private PulseAudio for the sidetone tests and the benchmark: its own
# runtime directory, a null sink (clocked by the system clock, as a sound
# card is by its crystal) and nothing else. Sourced.

# sound_server_start DIR: starts the server in DIR and exports what points
# programs at it; $sound_server is its pid.
sound_server_start() {
  local dir=$1
  mkdir -p "$dir/run" "$dir/home"
  chmod 700 "$dir/run"
  export XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/run/pulse HOME=$dir/home
  unset PULSE_SERVER
  # 48 kHz, the rate the tone is made at: no resampler in between.
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=file:"$dir/server.log" \
    -L module-native-protocol-unix -L "module-null-sink sink_name=orvex rate=48000" \
    >/dev/null 2>&1 &
  sound_server=$!
  local i
  for ((i = 0; i < 100; i++)); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl set-default-sink orvex
}

# sound_server_record FILE: records what the sink plays, 48 kHz 16-bit mono
# raw, until killed; $recorder is its pid. Recording in small pieces also
# keeps the null sink from sleeping in long blocks while nothing plays
# (an idle null sink takes a second or more to start a new stream).
sound_server_record() {
  parec --latency-msec=20 -d orvex.monitor --format=s16le --rate=48000 --channels=1 --raw >"$1" &
  recorder=$!
  local i latency
  for ((i = 0; i < 50; i++)); do
    latency=$(pactl list sinks | sed -n 's/^\s*Latency: \([0-9]*\) usec.*/\1/p' | head -1)
    [[ -n $latency ]] && ((latency < 50000)) && break
    sleep 0.1
  done
}
