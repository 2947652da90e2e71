# The program on a machine without sound: no sound server can be reached, so the wave-out
# device does not open. The program starts, animates and serves "Apply" as usual, silently.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
setup
work=$(mktemp -d)
finish() { cleanup; rm -rf "$work"; }
trap finish EXIT
export XDG_RUNTIME_DIR="$work/run"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$work/no-server"  # nothing listens there, and nothing gets started

write_ini '[Settings]' 'Language=German'
start_app
wid=$(wait_window "$TITLE" 60) || fail "the main window did not appear"
xdotool windowmove --sync "$wid" 0 0 2>/dev/null || true
sleep 1.5
read -r cx cy _ < <(client_geometry "$wid")
box() {  # raw RGB of the black box's inner area
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "318x95+$((cx + 5))+$((cy + 5))" +repage -depth 8 "rgb:$1"
}
moving() {
  box "$work/a.rgb"; sleep 0.4; box "$work/b.rgb"
  ! cmp -s "$work/a.rgb" "$work/b.rgb"
}
moving || fail "the stars do not move"
pass "the stars fly without sound"

click_client "$wid" "$APPLY_X" "$APPLY_Y"
msg=$(wait_window "Sucess!!!" 15) || fail "\"Apply\" showed no message box"
ini_text | grep -qx 'Language=English' || fail "\"Apply\" did not write the setting"
key_in "$msg" Return || fail "Return did not reach the message box"
wait_window_gone "Sucess!!!" 10 || fail "the message box did not close"
moving || fail "the stars stopped after \"Apply\""
pass "\"Apply\" wrote the setting and the show went on"

kill -0 "$APP_PID" 2>/dev/null || fail "the program ended by itself"
elapsed=$(close_and_time_exit)
pass "closed in $elapsed ms"
