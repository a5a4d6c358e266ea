# A private sound server for the sidetone tests and the benchmark: its own
# runtime directory, a null sink (clocked by the system clock, as a sound
# card is by its crystal) and nothing else. SOUND_SERVER picks PulseAudio
# (the default) or PipeWire, with wireplumber on a private D-Bus session
# bus and pipewire-pulse so the same tools record both. Sourced.

# sound_server_start DIR: starts the server in DIR and exports what points
# programs at it; $sound_server is the pid of the daemon that plays.
sound_server_start() {
  local dir=$1
  mkdir -p "$dir/run" "$dir/home"
  chmod 700 "$dir/run"
  export XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/run/pulse HOME=$dir/home
  unset PULSE_SERVER PIPEWIRE_REMOTE
  if [[ ${SOUND_SERVER:-pulseaudio} == pipewire ]]; then
    rm -f "$dir/bus"
    dbus-daemon --session --nofork --print-address=3 3>"$dir/bus" >/dev/null 2>&1 &
    local i
    for ((i = 0; i < 50; i++)); do
      [[ -s $dir/bus ]] && break
      sleep 0.1
    done
    DBUS_SESSION_BUS_ADDRESS=$(head -1 "$dir/bus")
    export DBUS_SESSION_BUS_ADDRESS
    pipewire >"$dir/server.log" 2>&1 &
    sound_server=$!
    sleep 0.3
    wireplumber >>"$dir/server.log" 2>&1 &
    pipewire-pulse >>"$dir/server.log" 2>&1 &
  else
    # 48 kHz, the rate the tone is made at: no resampler in between.
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
      --log-target=file:"$dir/server.log" -L module-native-protocol-unix \
      -L "module-null-sink sink_name=orvex rate=48000" >/dev/null 2>&1 &
    sound_server=$!
  fi
  local i
  for ((i = 0; i < 100; i++)); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if [[ ${SOUND_SERVER:-pulseaudio} == pipewire ]]; then
    pactl load-module module-null-sink sink_name=orvex rate=48000 channels=1 >/dev/null
    # wireplumber makes it the default only once it has seen it.
    for ((i = 0; i < 50; i++)); do
      pactl set-default-sink orvex 2>/dev/null
      [[ $(pactl get-default-sink 2>/dev/null) == orvex ]] && break
      sleep 0.1
    done
  else
    pactl set-default-sink orvex
  fi
}

# sound_server_record FILE [STAMPS]: records what the sink plays, 48 kHz
# 16-bit mono raw, until killed; $recorder is its pid. STAMPS (with
# RECORDER naming monitor_rec) gets when its samples were played.
# Recording in small pieces also keeps the null sink from sleeping in long
# blocks while nothing plays (an idle null sink takes a second or more to
# start a new stream).
sound_server_record() {
  if [[ -n ${2:-} ]]; then
    "$RECORDER" orvex.monitor "$1" "$2" >/dev/null &
  else
    parec --latency-msec=20 -d orvex.monitor --format=s16le --rate=48000 --channels=1 --raw >"$1" &
  fi
  recorder=$!
  local i latency
  for ((i = 0; i < 50; i++)); do
    latency=$(pactl list sinks | sed -n 's/^\s*Latency: \([0-9]*\) usec.*/\1/p' | head -1)
    [[ -n $latency ]] && ((latency < 50000)) && break
    sleep 0.1
  done
}
