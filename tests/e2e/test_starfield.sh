#!/usr/bin/env bash
# The intro show in the running program, under Wine and X: stars that move inside the black box
# while the logo stays in place; "Apply" and its message box served while the stars fly, and the
# stars held still while the box is open; closing the window ends the process.
# Run by ctest (preset win64, under scripts/with-display.sh), which sets LS_EXE and friends.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
setup
write_ini '[Settings]' 'Language=German'
work=$(mktemp -d)
trap 'cleanup; rm -rf "$work"' EXIT

# The inner drawing area of the black box: Picture1 at (4, 4) in the client area, one-pixel
# border, 318 x 95 inside.
shot() {  # output file: raw RGB of the box's inner area
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "318x95+$((cx + 5))+$((cy + 5))" +repage -depth 8 "rgb:$1"
}

convert "$LS_SOURCE_DIR/res/logo.png" -depth 8 "rgba:$work/logo.rgba"

# Reads two shots of the box. Mode "moving": the logo sits at (46, 17) in both, every other lit
# pixel is a grey star, there are stars, and they have moved. Mode "still": the shots are equal
# and the logo is there.
check() {  # mode shot1 shot2
  python3 - "$1" "$2" "$3" "$work/logo.rgba" <<'PY'
import sys
mode, a_path, b_path, logo_path = sys.argv[1:]
W, H, LW, LH, LX, LY = 318, 95, 227, 62, 46, 17
logo = open(logo_path, 'rb').read()
opaque = {(x + LX, y + LY) for y in range(LH) for x in range(LW) if logo[(y * LW + x) * 4 + 3]}
def stars(path):
    raw = open(path, 'rb').read()
    assert len(raw) == W * H * 3, f'{path}: {len(raw)} bytes'
    lit, problems = set(), []
    for y in range(H):
        for x in range(W):
            r, g, b = raw[(y * W + x) * 3:(y * W + x) * 3 + 3]
            if (x, y) in opaque:
                if (r, g, b) != (255, 255, 255): problems.append(f'logo pixel {x},{y} is {r},{g},{b}')
            elif (r, g, b) != (0, 0, 0):
                lit.add((x, y))
                if max(r, g, b) - min(r, g, b) > 1: problems.append(f'star {x},{y} is {r},{g},{b}')
    return raw, lit, problems
ra, sa, pa = stars(a_path)
rb, sb, pb = stars(b_path)
problems = pa[:5] + pb[:5]
if mode == 'moving':
    if len(sa) < 10 or len(sb) < 10: problems.append(f'too few stars: {len(sa)}, {len(sb)}')
    if len(sa ^ sb) < 10: problems.append(f'stars did not move: {len(sa ^ sb)} pixels changed')
elif ra != rb:
    problems.append('the box changed while the message box was open')
print(f'{mode}: {len(sa)} and {len(sb)} lit pixels outside the logo, {len(sa ^ sb)} changed')
for p in problems: print('  ' + p)
sys.exit(1 if problems else 0)
PY
}

# Closing and message-box focus need a window manager. The display's own may have failed to
# start (openbox sometimes cannot open a display that has only just come up): start one then.
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
own_wm=""
for _ in $(seq 10); do wm_ready && break; sleep 0.2; done
if ! wm_ready; then
  openbox >/dev/null 2>&1 &
  own_wm=$!
  for _ in $(seq 50); do wm_ready && break; sleep 0.2; done
fi
wm_ready || fail "no window manager"
trap 'cleanup; [ -n "$own_wm" ] && kill "$own_wm" 2>/dev/null; rm -rf "$work"' EXIT

start_app
win=$(wait_window "$TITLE" 60) || fail "the main window did not appear"
xdotool windowmove --sync "$win" 0 0 2>/dev/null || xdotool windowmove "$win" 0 0
sleep 1.5  # stars start black near the centre and brighten as they fly out
read -r cx cy _ _ < <(client_geometry "$win")

shot "$work/a.rgb"; sleep 0.4; shot "$work/b.rgb"
check moving "$work/a.rgb" "$work/b.rgb" || fail "no moving stars under a steady logo"
pass "stars move under the logo"

click_client "$win" "$APPLY_X" "$APPLY_Y"
box=$(wait_window "Sucess!!!" 15) || fail "\"Apply\" showed no message box"
sleep 0.3
shot "$work/c.rgb"; sleep 0.6; shot "$work/d.rgb"
wait_window "Sucess!!!" 1 >/dev/null || fail "the message box closed by itself"
check still "$work/c.rgb" "$work/d.rgb" || fail "the stars flew on behind the message box"
ini_text | grep -qxF 'Language=English' || fail "\"Apply\" did not write the setting"
pass "the stars stand still while the message box is open"

key_in "$box" Return || fail "Return did not reach the confirmation"
wait_window_gone "Sucess!!!" 10 || fail "the message box did not close"
sleep 0.3
shot "$work/e.rgb"; sleep 0.4; shot "$work/f.rgb"
check moving "$work/e.rgb" "$work/f.rgb" || fail "the stars did not resume after the message box"
pass "the stars fly again once the message box is closed"

# The close box works only once the window is enabled again after its message box.
wait_text "$TITLE" "fw.Form|$TITLE|enabled|visible" || fail "the window stays disabled"
elapsed=$(close_and_time_exit)
pass "closing ended the process in $elapsed ms"
