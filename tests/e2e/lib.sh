# Shared helpers of the end-to-end tests: the real program under wine64 in a Wine prefix of the
# tests' own, on an X display with a window manager (run under scripts/with-display.sh), driven
# through X with xdotool, xwininfo and wmctrl, and read from the Windows side by a small driver
# program (driver/window_texts.cpp) run in the same prefix.
# Needs LS_EXE, LS_BUILD_DIR and LS_SOURCE_DIR (set by ctest).
set -euo pipefail
# A command that fails outside a check still says where.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/} line $LINENO: $BASH_COMMAND" >&2' ERR

: "${LS_EXE:?path of LanguageSelector.exe}" "${LS_BUILD_DIR:?}" "${LS_SOURCE_DIR:?}"
export WINEPREFIX="$LS_BUILD_DIR/e2e-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
TITLE='Veldraskon - Language Selector *Multi 2*'
GAME_DIR="$WINEPREFIX/drive_c/Program Files/Vledraskon"
INI="$GAME_DIR/steam_api.ini"
DRIVER="$LS_BUILD_DIR/e2e/window_texts.exe"
APP_PID=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
pass() { echo "ok: $*"; }

# Ends what the test started: the program (by its process id) and the prefix's Wine server.
cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
}

# An X display with a window manager, a ready prefix, and the driver built from its source.
setup() {
  xdpyinfo >/dev/null 2>&1 || fail "no X display: run under scripts/with-display.sh"
  trap cleanup EXIT
  if [ ! -d "$WINEPREFIX/drive_c" ]; then
    "$WINE" wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  local src="$LS_SOURCE_DIR/tests/e2e/driver/window_texts.cpp"
  if [ ! -f "$DRIVER" ] || [ "$src" -nt "$DRIVER" ]; then
    mkdir -p "$(dirname "$DRIVER")"
    x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -municode -static -o "$DRIVER" "$src" ||
      fail "cannot build the driver"
  fi
}

# Writes the game's settings file (CRLF lines, as Windows editors leave them).
write_ini() {
  mkdir -p "$GAME_DIR"
  printf '%s\r\n' "$@" >"$INI"
}

start_app() {
  "$WINE" "$LS_EXE" >/dev/null 2>&1 &
  APP_PID=$!
}

driver() { "$WINE" "$DRIVER" "$@" 2>/dev/null | tr -d '\r'; }

# Waits up to $2 seconds (default 20) for an X window whose title is exactly $1; prints its id.
wait_window() {
  local pattern
  pattern="^$(printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g')\$"
  local deadline=$((SECONDS + ${2:-20})) id
  for (( ; ; )); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Waits up to $2 seconds for no visible window titled exactly $1.
wait_window_gone() {
  local deadline=$((SECONDS + ${2:-10}))
  while ((SECONDS < deadline)); do
    wait_window "$1" 0 >/dev/null || return 0
    sleep 0.2
  done
  return 1
}

# Closes the window titled exactly $1 as its close box would, asking again until it is gone (a
# window the window manager has not taken over yet ignores the request); up to $2 seconds.
close_window() {
  local deadline=$((SECONDS + ${2:-10}))
  while ((SECONDS < deadline)); do
    wmctrl -c "$1" 2>/dev/null || true
    wait_window_gone "$1" 1 && return 0
  done
  return 1
}

# Waits up to $3 seconds for the driver's listing of window $1 to hold the line $2.
wait_text() {
  local deadline=$((SECONDS + ${3:-10}))
  while ((SECONDS < deadline)); do
    driver texts "$1" | grep -qxF -- "$2" && return 0
    sleep 0.3
  done
  echo "--- windows of '$1':" >&2
  driver texts "$1" >&2 || true
  return 1
}

# Client area of an X window: "X Y WIDTH HEIGHT" (absolute position on the screen).
client_geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}

# Clicks at a point ($2, $3) of window $1's client area.
click_client() {
  local x y w h
  read -r x y w h < <(client_geometry "$1")
  xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
}

# Presses a key in window $1 (brought to the front first).
key_in() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool key --window "$1" "$2" 2>/dev/null || xdotool key "$2"
}

# Milliseconds from asking the window to close (as its close box does) until the process ends.
close_and_time_exit() {
  local start end
  start=$(date +%s%N)
  wmctrl -c "$TITLE" || fail "the window manager does not know the main window"
  for _ in $(seq 500); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.01
  done
  end=$(date +%s%N)
  kill -0 "$APP_PID" 2>/dev/null && fail "the program still runs 5 s after its window was closed"
  APP_PID=""
  echo $(((end - start) / 1000000))
}

# The content of the settings file without carriage returns.
ini_text() { tr -d '\r' <"$INI"; }

# Where "Apply" is in the window's client area: panel at (4, 104), its one-pixel border, the
# button at (234, 40) inside, 80 x 20 pixels.
APPLY_X=$((4 + 1 + 234 + 40))
APPLY_Y=$((104 + 1 + 40 + 10))
