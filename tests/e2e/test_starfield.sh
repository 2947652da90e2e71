#!/usr/bin/env bash
# The intro show in the running program, under Wine and X: stars that move inside the black box
# while the logo stays in place; "Apply" and its message box served while the stars fly, and the
# stars held still while the box is open; closing the window ends the process within a second.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=${LS_SOURCE_DIR:-$(cd "$here/../.." && pwd)}
build=${LS_BUILD_DIR:-$root/build/win64}
exe=${LS_EXE:-$build/LanguageSelector.exe}
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  exec "$root/scripts/with-display.sh" bash "$0" "$@"
fi

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
title="Veldraskon - Language Selector"
work=$(mktemp -d)
app=""
game="$WINEPREFIX/drive_c/Program Files/Vledraskon"
made_game=0

fail() { echo "FAIL: $*" >&2; exit 1; }

cleanup() {
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then kill "$app" 2>/dev/null || true; fi
  if [ -f "$work/steam_api.ini.kept" ]; then
    cp "$work/steam_api.ini.kept" "$game/steam_api.ini"
  elif [ "$made_game" = 1 ]; then
    rm -rf "$game"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A game folder whose setting the window reads at start and "Apply" rewrites.
if [ -d "$game" ]; then
  [ -f "$game/steam_api.ini" ] && cp "$game/steam_api.ini" "$work/steam_api.ini.kept"
else
  mkdir -p "$game"
  made_game=1
fi
printf '[Settings]\r\nLanguage=German\r\n' > "$game/steam_api.ini"

wait_for_window() {  # name, seconds -> window id
  local deadline=$((SECONDS + $2)) id
  while ((SECONDS < deadline)); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

client_origin() {  # window id -> "x y" of its client area on the screen
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'
}

# The inner drawing area of the black box: Picture1 at (4, 4) in the client area, one-pixel
# border, 318 x 95 inside.
shot() {  # output file: raw RGB of the box's inner area
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "318x95+$((cx + 5))+$((cy + 5))" +repage -depth 8 "rgb:$1"
}

convert "$root/res/logo.png" -depth 8 "rgba:$work/logo.rgba"

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

/usr/lib/wine/wine64 "$exe" >"$work/app.log" 2>&1 &
app=$!
win=$(wait_for_window "^$title" 60) || fail "the main window did not appear"
xdotool windowmove --sync "$win" 0 0 2>/dev/null || xdotool windowmove "$win" 0 0
sleep 1.5  # stars start black at the centre and brighten as they fly out
read -r cx cy < <(client_origin "$win")

shot "$work/a.rgb"; sleep 0.4; shot "$work/b.rgb"
check moving "$work/a.rgb" "$work/b.rgb" || fail "no moving stars under a steady logo"

# "Apply" sits in the lower panel (at 4, 104, one-pixel border) at (234, 40), 80 x 20.
xdotool mousemove $((cx + 4 + 1 + 234 + 40)) $((cy + 104 + 1 + 40 + 10)) click 1
box=$(wait_for_window "^Sucess!!!$" 10) || fail "\"Apply\" showed no message box"
sleep 0.3
shot "$work/c.rgb"; sleep 0.6; shot "$work/d.rgb"
check still "$work/c.rgb" "$work/d.rgb" || fail "the stars flew on behind the message box"
grep -q 'Language=English' "$game/steam_api.ini" || fail "\"Apply\" did not write the setting"

xdotool windowactivate --sync "$box" 2>/dev/null || true
xdotool key Return
for _ in $(seq 50); do
  xdotool search --name "^Sucess!!!$" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --name "^Sucess!!!$" >/dev/null 2>&1 && fail "the message box did not close"
sleep 0.3
shot "$work/e.rgb"; sleep 0.4; shot "$work/f.rgb"
check moving "$work/e.rgb" "$work/f.rgb" || fail "the stars did not resume after the message box"

start=$(date +%s%N)
wmctrl -c "$title"
for _ in $(seq 100); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.02
done
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
kill -0 "$app" 2>/dev/null && fail "the process still runs ${elapsed_ms} ms after the close"
wait "$app" 2>/dev/null || true
app=""
((elapsed_ms <= 1000)) || fail "the process took ${elapsed_ms} ms to end"
echo "closed: the process ended ${elapsed_ms} ms after the close request"
echo "PASS"
