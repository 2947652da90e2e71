# The program's music as a listener gets it: the real program under Wine plays into a PulseAudio
# null sink at 48,000 Hz 16-bit stereo; the recording must equal, sample for sample, what
# xmrender renders from res/music.xm at full volume. Then the Windows-side player test runs with
# that sink (levels reported while resource 1 plays, a file source, a song ending by itself).
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
write_ini '[Settings]' 'Language=English'
start_app
wait_window "$TITLE" 60 >/dev/null || fail "the main window did not appear"

# CPU ticks of the program's process and of each of its threads, over 6 s of music and stars.
ticks() { awk '{print $14 + $15}' "$1" 2>/dev/null || echo 0; }
sleep 2
declare -A before
for t in /proc/"$APP_PID"/task/*; do before[$t]=$(ticks "$t/stat"); done
total_before=$(ticks /proc/"$APP_PID"/stat)
start_ns=$(date +%s%N)
sleep 6
total_after=$(ticks /proc/"$APP_PID"/stat)
wall_s=$(awk -v ns=$(($(date +%s%N) - start_ns)) 'BEGIN{print ns / 1e9}')
hz=$(getconf CLK_TCK)
for t in /proc/"$APP_PID"/task/*; do
  echo "$(($(ticks "$t/stat") - ${before[$t]:-0})) $(basename "$t")"
done | sort -rn | head -n 4 >"$work/threads.txt"
awk -v a="$total_before" -v b="$total_after" -v hz="$hz" -v w="$wall_s" \
  'BEGIN{printf "program CPU: %.1f%% of one core over %.1f s (music and stars)\n", 100*(b-a)/hz/w, w}'
while read -r n tid; do
  awk -v n="$n" -v hz="$hz" -v w="$wall_s" -v t="$tid" \
    'BEGIN{printf "  thread %s: %.2f%% of one core\n", t, 100*n/hz/w}'
done <"$work/threads.txt"

elapsed=$(close_and_time_exit)
pass "closed while the music played: the process ended in $elapsed ms"
sleep 0.5
stop_recording

"$xmrender" --seconds 30 --volume 25 "$LS_SOURCE_DIR/res/music.xm" "$work/rendered.wav" >/dev/null ||
  fail "xmrender failed"
python3 "$here/music_compare.py" "$work/heard.raw" "$work/rendered.wav" 5 ||
  fail "what was heard is not the rendered music"
pass "the music heard is the rendered music"

LS_EXPECT_SOUND=1 "$WINE" "$LS_BUILD_DIR/tests/player_waveout_test.exe" >"$work/player.txt" 2>&1 ||
  { cat "$work/player.txt"; fail "the player test with a sound device failed"; }
grep -E '^worker CPU' "$work/player.txt" || true
grep -q 'SKIPPED \] WaveOutPlayer.Resource' "$work/player.txt" && fail "the levels test did not run"
pass "levels reported while resource 1 plays; file source; a song that ends by itself"
