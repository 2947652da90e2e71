# The program's music as a listener gets it: the real program under Wine plays into a PulseAudio
# null sink at 48,000 Hz 16-bit stereo; the recording must equal, sample for sample, what
# xmrender renders from res/music.xm at full volume.
# Prints the CPU use of the whole program (music and stars) and of its busiest threads.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$LS_SOURCE_DIR/tests/e2e/music_sink.sh"
here="$LS_SOURCE_DIR/tests/e2e"
xmrender="$LS_SOURCE_DIR/build/native/xmrender"
[ -x "$xmrender" ] || fail "needs $xmrender: cmake --preset native && cmake --build --preset native"
setup
work=$(mktemp -d)
finish() { stop_music_sink; cleanup; rm -rf "$work"; }
trap finish EXIT

start_music_sink "$work"
start_recording "$work/heard.raw" || fail "cannot record the sink"
# Wine asks the server for 25 ms of buffered sound; a 10 ms delay of Wine's own feeding thread
# then runs the stream dry, and the server logs an underrun where the recording has a hole (sound
# lost after a short silence), with the program's 320 ms of rendered sound untouched. With 100 ms
# the recording holds what the program played, even beside two busy processes.
export PULSE_LATENCY_MSEC=100
write_ini '[Settings]' 'Language=English'
start_app
wait_window "$TITLE" 60 >/dev/null || fail "the main window did not appear"

# CPU time of the program's threads over 6 s of music and stars, in nanoseconds (schedstat).
# Wine names its own audio threads; the program's are listed in the order they were made, so
# the player's worker is the last one, started after the device's.
run_ns() { for t in /proc/"$APP_PID"/task/*; do echo "$(basename "$t") $(cut -d' ' -f1 "$t/schedstat")"; done; }
sleep 2
run_ns | sort -n >"$work/cpu_before.txt"
start_ns=$(date +%s%N)
sleep 6
run_ns | sort -n >"$work/cpu_after.txt"
wall_ns=$(($(date +%s%N) - start_ns))
join "$work/cpu_before.txt" "$work/cpu_after.txt" | while read -r tid a b; do
  printf '%s %s %s\n' "$tid" "$((b - a))" "$(cat /proc/"$APP_PID"/task/"$tid"/comm 2>/dev/null)"
done >"$work/threads.txt"
awk -v wall="$wall_ns" '{total += $2; printf "  thread %s (%s): %.2f%% of one core\n", $1, $3, 100 * $2 / wall}
  END {printf "program CPU: %.1f%% of one core over %.1f s (music and stars)\n", 100 * total / wall, wall / 1e9}' \
  "$work/threads.txt"

elapsed=$(close_and_time_exit)
pass "closed while the music played: the process ended in $elapsed ms"
sleep 0.5
stop_recording

"$xmrender" --seconds 30 --volume 25 "$LS_SOURCE_DIR/res/music.xm" "$work/rendered.wav" >/dev/null ||
  fail "xmrender failed"
python3 "$here/music_compare.py" "$work/heard.raw" "$work/rendered.wav" 5 || {
  cp "$work/heard.raw" "$work/rendered.wav" "$work/pulse.log" "$ARTIFACTS/" 2>/dev/null || true
  grep -E "[Uu]nderrun (of|on) " "$work/pulse.log" | head -n 20 >&2 || true
  fail "what was heard is not the rendered music"
}
pass "the music heard is the rendered music"

