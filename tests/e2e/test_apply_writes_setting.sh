# The whole program with a game folder holding Language=German: the window as the user sees it,
# "Apply" writing English with its confirmation, and closing ending the process at once.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
setup
write_ini '; game settings' '[Settings]' 'AppId=480' 'Language=German' 'UserName=Player' '' \
  '[Interface]' 'Overlay=1'

start_app
wid=$(wait_window "$TITLE" 60) || fail "the main window did not appear"
pass "window titled '$TITLE'"
read -r _ _ width height < <(client_geometry "$wid")
[ "$width x $height" = "328 x 196" ] || fail "client area is $width x $height, not 328 x 196"
pass "client area 328 x 196"

wait_text "$TITLE" "fw.Label|Current Language : German|enabled|visible" ||
  fail "the label does not show the stored language"
listing=$(driver texts "$TITLE")
grep -qxF "ComboBox|English|enabled|visible" <<<"$listing" || fail "the combo box does not show English"
grep -qxF "fw.Label|Tobrevin - 2013|disabled|visible" <<<"$listing" || fail "no disabled credit line"
grep -qxF "Edit|$GAME_FOLDER|enabled|hidden" <<<"$listing" ||
  fail "the folder store is not the hidden default folder"
pass "label, combo box, credit line and hidden folder as expected"

click_client "$wid" "$APPLY_X" "$APPLY_Y"
box=$(wait_window "Sucess!!!" 15) || fail "no confirmation after Apply"
wait_text "Sucess!!!" "Static|Sucess!|enabled|visible" 20 ||
  fail "the confirmation does not say Sucess!"
pass "confirmation box 'Sucess!!!' says 'Sucess!'"
key_in "$box" Return || fail "Return did not reach the confirmation"
wait_window_gone "Sucess!!!" 10 || fail "the confirmation did not close on Return"

ini_text | grep -qxF "Language=English" || fail "the file does not say English: $(ini_text)"
ini_text | grep -qxF "Language=German" && fail "the old value is still in the file"
for line in '; game settings' '[Settings]' 'AppId=480' 'UserName=Player' '[Interface]' 'Overlay=1'; do
  ini_text | grep -qxF -- "$line" || fail "lost the line '$line'"
done
pass "file now says English, everything else kept"
wait_text "$TITLE" "fw.Label|Current Language : English|enabled|visible" ||
  fail "the label does not follow the file"
pass "label follows: Current Language : English"

elapsed=$(close_and_time_exit)
pass "closing ended the process in $elapsed ms"
