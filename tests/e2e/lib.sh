# Shared helpers of the end-to-end tests: the real program under Wine (the i686 one under full
# 32-bit Wine, the x86_64 twin under wine64) in a 64-bit Wine prefix of the tests' own, on an X display with a window manager (run under scripts/with-display.sh), driven
# through X with xdotool, xwininfo and wmctrl, and read from the Windows side by a small driver
# program (driver/window_texts.cpp) run in the same prefix.
# Needs LS_EXE, LS_BUILD_DIR and LS_SOURCE_DIR (set by ctest). A failing test leaves what it saw
# in $LS_E2E_ARTIFACTS/<test> (default: e2e-artifacts in the build folder): a screenshot, the
# driver's calls with their answers, and the program's output.
set -euo pipefail
# A command that fails outside a check still says where, and what was on the screen.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/} line $LINENO: $BASH_COMMAND" >&2; report_failure' ERR

: "${LS_EXE:?path of LanguageSelector.exe}" "${LS_BUILD_DIR:?}" "${LS_SOURCE_DIR:?}"
export WINEPREFIX="${LS_E2E_PREFIX:-$LS_BUILD_DIR/e2e-prefix}"
export WINEDEBUG=-all
# No Mono or Gecko prompts, and no debugger: a crashed program ends at once with its status.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# The driver is a 64-bit program; the program under test goes through the build's emulator, which
# picks the Wine of its architecture.
WINE=/usr/lib/wine/wine64
RUN_PROGRAM="$LS_SOURCE_DIR/scripts/wine-run.sh"
TITLE='Veldraskon - Language Selector *Multi 2*'
# %ProgramFiles% as the program sees it in a 64-bit prefix: a 32-bit program's is the (x86) one.
if [ "$(od -A n -t x2 -j $(($(od -A n -t u4 -j 60 -N 4 "$LS_EXE") + 4)) -N 2 "$LS_EXE" | tr -d ' ')" = 014c ]; then
  GAME_FOLDER='C:\Program Files (x86)\Vledraskon'
else
  GAME_FOLDER='C:\Program Files\Vledraskon'
fi
GAME_DIR="$WINEPREFIX/drive_c/$(sed 's/^C:.//; s/\\/\//g' <<<"$GAME_FOLDER")"
INI="$GAME_DIR/steam_api.ini"
DRIVER="$LS_BUILD_DIR/e2e/window_texts.exe"
APP_PID=""
TEST_NAME=$(basename "$0" .sh)
ARTIFACTS="${LS_E2E_ARTIFACTS:-$LS_BUILD_DIR/e2e-artifacts}/$TEST_NAME"
rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"
STEPS="$ARTIFACTS/steps.log"

# Notes a step of the test in the steps log, with the time.
step() { echo "$(date +%T.%N) $*" >>"$STEPS"; }

fail() {
  echo "FAIL: $*" >&2
  report_failure
  exit 1
}

# What a failed step saw: every top-level window with its texts as the driver reads them (and
# the driver's exit status and errors), the X windows and which one holds the focus, the
# driver's last calls, and a screenshot. Once per test, even when called from a subshell.
report_failure() {
  [ -e "$ARTIFACTS/reported" ] && return 0
  : >"$ARTIFACTS/reported"
  {
    echo "--- every top-level window, as the driver sees it ($(date +%T.%N)):"
    local rc=0
    "$WINE" "$DRIVER" list 2>"$ARTIFACTS/list.err" | tr -d '\r' || rc=$?
    echo "--- driver list: exit status $rc"
    sed 's/^/    stderr: /' "$ARTIFACTS/list.err"
    echo "--- X windows (wmctrl -l), the window manager's active window, the input focus:"
    wmctrl -l 2>&1 | sed 's/^/    /' || true
    echo "    active: $(xprop -root _NET_ACTIVE_WINDOW 2>&1 | sed 's/.*# //')" \
      "focus: $(xdotool getwindowfocus getwindowname 2>&1 | tr '\n' ' ')"
    echo "--- keys the X server holds down: $(python3 "$LS_SOURCE_DIR/tests/e2e/x_keys.py" 2>&1 | tr '\n' ' ')"
    echo "--- the test's last steps and driver calls (all in $STEPS):"
    tail -n 40 "$STEPS" 2>/dev/null | sed 's/^/    /' || true
    if import -window root "$ARTIFACTS/failure.png" 2>/dev/null; then
      echo "--- screenshot: $ARTIFACTS/failure.png"
    else
      echo "--- no screenshot could be taken"
    fi
  } >&2
}
pass() { echo "ok: $*"; }

# Ends what the test started: the program (by its process id) and the prefix's Wine server.
cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
}

# An X display with a window manager, a ready prefix, and the driver built from its source.
setup() {
  # A 32-bit program that cannot run on this machine is reported as not run (ctest's code 77).
  local rc=0
  "$RUN_PROGRAM" --check "$LS_EXE" || rc=$?
  [ "$rc" -eq 0 ] || { trap - ERR; exit "$rc"; }
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
  "$RUN_PROGRAM" "$LS_EXE" >>"$ARTIFACTS/program.log" 2>&1 &
  APP_PID=$!
  step "started the program, pid $APP_PID"
}

# Runs the driver; every call goes to the driver log with its answer, exit status and errors.
# Its exit status is the driver's own.
driver() {
  local out err rc=0 started
  out=$(mktemp) err=$(mktemp) started=$(date +%T.%N)
  "$WINE" "$DRIVER" "$@" 2>"$err" | tr -d '\r' >"$out" || rc=$?
  {
    echo "$started driver $* -> exit $rc at $(date +%T.%N)"
    sed 's/^/    | /' "$out"
    sed 's/^/    stderr: /' "$err"
  } >>"$STEPS"
  cat "$out"
  rm -f "$out" "$err"
  return "$rc"
}

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
    step "close request to '$1'"
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
  step "click at ($2, $3) of window $1, ($((x + $2)), $((y + $3))) on the screen"
  xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
}

# Presses key $2 in window $1 as a person would: once the window holds the focus, both for X
# and for Windows (its title is the foreground window's), the key goes down and up through the
# server's keyboard, and nothing may stay held afterwards. Waits up to $3 seconds (default 30)
# for the focus.
key_in() {
  local title focus deadline=$((SECONDS + ${3:-30}))
  title=$(xdotool getwindowname "$1") || { step "key $2: window $1 is gone"; return 1; }
  for (( ; ; )); do
    focus=$(xdotool getwindowfocus 2>/dev/null || true)
    if [ "$focus" = "$1" ] && [ "$(driver focus | head -n 1)" = "$title" ]; then break; fi
    if ((SECONDS >= deadline)); then
      step "key $2: window $1 '$title' did not get the focus (X focus: $focus)"
      return 1
    fi
    [ "$focus" = "$1" ] || xdotool windowactivate "$1" 2>/dev/null || true
    sleep 0.2
  done
  step "key $2 in window $1 '$title'"
  xdotool key "$2"
  local held
  held=$(python3 "$LS_SOURCE_DIR/tests/e2e/x_keys.py")
  [ -z "$held" ] || { step "key $2: still held down afterwards: $held"; return 1; }
}

# Milliseconds from asking the window to close (as its close box does) until the process ends.
close_and_time_exit() {
  # "At once" means that nothing of the program runs after the close, not a time: the deadline
  # only catches a process that does not end, however busy the machine; the time is reported.
  local start deadline=$((SECONDS + 30))
  start=$(date +%s%N)
  step "close request to the main window"
  wmctrl -c "$TITLE" || fail "the window manager does not know the main window"
  while kill -0 "$APP_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "the program still runs 30 s after its window was closed"
    sleep 0.01
  done
  APP_PID=""
  echo $((($(date +%s%N) - start) / 1000000))
}

# The content of the settings file without carriage returns.
ini_text() { tr -d '\r' <"$INI"; }

# Where "Apply" is in the window's client area: panel at (4, 104), its one-pixel border, the
# button at (234, 40) inside, 80 x 20 pixels.
APPLY_X=$((4 + 1 + 234 + 40))
APPLY_Y=$((104 + 1 + 40 + 10))
