# The whole program without a settings file: the not-found label, "Apply" warning and then
# opening the real folder browser, and a cancel that writes and creates nothing.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
setup
rm -rf "$GAME_DIR"

start_app
wid=$(wait_window "$TITLE" 60) || fail "the main window did not appear"
wait_text "$TITLE" "fw.Label|Current Language : Language not found|enabled|visible" ||
  fail "the label does not show the not-found caption"
pass "not-found caption shown"

click_client "$wid" "$APPLY_X" "$APPLY_Y"
box=$(wait_window "Error!!!" 15) || fail "no warning after Apply"
wait_text "Error!!!" "Static|File not found!|enabled|visible" 20 ||
  fail "the warning does not say File not found!"
pass "warning box 'Error!!!' says 'File not found!'"
# Closed without a key press: a key still down when the browser opens would confirm it.
close_window "Error!!!" 10 || fail "the warning did not close"

browse_text="Select the game folder (Vledraskon) in the list below, then click OK."
browser=""
for _ in $(seq 100); do
  browser=$(driver dialog "$browse_text" || true)
  [ -n "$browser" ] && break
  sleep 0.2
done
[ -n "$browser" ] || fail "the folder browser did not open"
wait_window "$browser" 10 >/dev/null || fail "the folder browser has no X window"
pass "folder browser '$browser' opened with the program's title"
close_window "$browser" 20 || fail "the folder browser did not close"
sleep 1
driver dialog "$browse_text" >/dev/null && fail "the folder browser is still open"
wait_window "Error!!!" 1 >/dev/null && fail "a warning followed the cancel"
[ -e "$GAME_DIR" ] && fail "the cancel created $GAME_DIR"
wait_text "$TITLE" "fw.Label|Current Language : Language not found|enabled|visible" 2 ||
  fail "the label changed after the cancel"
pass "cancel: nothing written, nothing created, no message"

elapsed=$(close_and_time_exit)
((elapsed < 1000)) || fail "the process took $elapsed ms to end after the close"
pass "closing ended the process in $elapsed ms"
