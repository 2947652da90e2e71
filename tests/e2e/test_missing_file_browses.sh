# The whole program without a settings file: the not-found label, "Apply" warning and then
# opening the real folder browser, and a cancel that writes and creates nothing.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
setup
rm -rf "$GAME_DIR"
work=$(mktemp -d)
trap 'cleanup; rm -rf "$work"' EXIT

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
# The stars fly again only once the click's handler has returned (its boxes and the browser run
# inside the frame loop's pump): by then any warning after the cancel would have been shown.
box_shot() {  # output file: the black box's inner area, Picture1 at (4, 4) with its border
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "318x95+$((cx + 5))+$((cy + 5))" +repage -depth 8 "rgb:$1"
}
read -r cx cy _ _ < <(client_geometry "$wid")
deadline=$((SECONDS + 30))
for (( ; ; )); do
  wait_window "Error!!!" 0 >/dev/null && fail "a warning followed the cancel"
  box_shot "$work/a.rgb"
  sleep 0.2
  box_shot "$work/b.rgb"
  cmp -s "$work/a.rgb" "$work/b.rgb" || break
  ((SECONDS < deadline)) || fail "the stars did not fly again within 30 s of the cancel"
done
driver dialog "$browse_text" >/dev/null && fail "the folder browser is still open"
wait_window "Error!!!" 0 >/dev/null && fail "a warning followed the cancel"
[ -e "$GAME_DIR" ] && fail "the cancel created $GAME_DIR"
wait_text "$TITLE" "fw.Label|Current Language : Language not found|enabled|visible" 2 ||
  fail "the label changed after the cancel"
pass "cancel: nothing written, nothing created, no message"

elapsed=$(close_and_time_exit)
pass "closing ended the process in $elapsed ms"
