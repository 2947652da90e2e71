# Sourced by the music tests: a private PulseAudio server whose only sink is a null sink at the
# player's format (48,000 Hz, 16-bit stereo), and a recorder on that sink's monitor.
# Everything started here is stopped by its own process id in stop_music_sink.

start_music_sink() {  # $1: a private work folder; the server's log goes to $1/pulse.log
    export XDG_RUNTIME_DIR="$1/run"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    unset PULSE_SERVER
    # At debug level the server logs each stream's underruns: sound it had to play while the
    # client had sent none.
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --log-level=debug --log-time=1 \
        --log-target="file:$1/pulse.log" \
        --load="module-null-sink sink_name=cap rate=48000 format=s16le channels=2" \
        --load="module-native-protocol-unix" 2>/dev/null
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    pactl set-default-sink cap
    sink_pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
}

start_recording() {  # $1: raw output file (s16le, 2 channels, 48,000 Hz)
    # A short latency: parec otherwise holds seconds of sound that a stop would lose.
    parec --latency-msec=20 -d cap.monitor --rate=48000 --channels=2 --format=s16le --raw >"$1" &
    recorder_pid=$!
    # Returns once the recorder delivers, so that the sound to come is recorded from its start.
    for _ in $(seq 100); do
        [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 19200 ] && return 0
        sleep 0.1
    done
    echo "the recorder delivers nothing" >&2
    return 1
}

stop_recording() {
    if [ -n "${recorder_pid:-}" ]; then
        kill -INT "$recorder_pid" 2>/dev/null || true
        wait "$recorder_pid" 2>/dev/null || true
        recorder_pid=
    fi
}

stop_music_sink() {
    stop_recording
    if [ -n "${sink_pid:-}" ]; then
        kill "$sink_pid" 2>/dev/null || true
        sink_pid=
    fi
}
