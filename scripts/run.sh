#!/usr/bin/env bash
# Builds the program and runs it under Wine in a Wine prefix of its own (build/run-prefix, a
# 64-bit one): the shipped i686 program under full 32-bit Wine where this machine runs 32-bit code,
# otherwise its x86_64 twin under wine64, and it says which and why. The first run also puts a
# sample game folder into that prefix, where the program looks for it,
#   C:\Program Files (x86)\Vledraskon\steam_api.ini   (the i686 program's %ProgramFiles%)
#   C:\Program Files\Vledraskon\steam_api.ini         (the x86_64 twin's)
# with [Settings] Language=German, so that the tool has a real file to read and change. Without an
# X display it runs under a private Xvfb with openbox for a few seconds and saves a screenshot.
#
#   scripts/run.sh                 build, run (sample game made when the prefix has none)
#   scripts/run.sh --sample-game   put a fresh sample steam_api.ini in place first
#   scripts/run.sh --no-sample     leave the prefix's game folder as it is (or absent)
#   scripts/run.sh --seconds N     headless only: seconds from the window's appearance to the
#                                  screenshot (default 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

sample=auto
seconds=5
while (($#)); do
  case "$1" in
    --sample-game) sample=yes ;;
    --no-sample) sample=no ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

"$root/scripts/install-deps.sh"
# What ships is the i686 program; it needs a machine that runs 32-bit code and full 32-bit Wine.
if why=$("$root/scripts/host-runs-32bit.sh" 2>&1) && [ -x /usr/lib/wine/wine ]; then
  preset=win32
  program_files="Program Files (x86)"
  echo "starting the shipped i686 program under full 32-bit Wine"
else
  [ -n "$why" ] || why=$(head -n 1 build/wine32-unavailable.txt 2>/dev/null || echo "wine32 is not installed")
  preset=win64
  program_files="Program Files"
  echo "starting the x86_64 twin: the shipped i686 program cannot run here: $why"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target LanguageSelector

build="$root/build/$preset"
exe="$build/LanguageSelector.exe"
export WINEPREFIX="$root/build/run-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine needs a UTF-8 locale to name files outside ASCII (the game folder may have such a name).
. "$root/scripts/utf8-locale.sh"
wine="$root/scripts/wine-run.sh"

if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "creating the Wine prefix $WINEPREFIX (takes a few seconds the first time)"
  "$wine" --init
fi

game="$WINEPREFIX/drive_c/$program_files/Vledraskon"
if [ "$sample" = yes ] || { [ "$sample" = auto ] && [ ! -d "$game" ]; }; then
  mkdir -p "$game"
  printf '%s\r\n' '; Sample settings of the game, made by scripts/run.sh' '[Settings]' \
    'AppId=480' 'Language=German' 'UserName=Player' '' '[Interface]' 'Overlay=1' \
    > "$game/steam_api.ini"
  echo "sample game folder: C:\\$program_files\\Vledraskon\\steam_api.ini (Language=German)"
fi
[ -f "$game/steam_api.ini" ] && echo "settings file: $(grep -a 'Language' "$game/steam_api.ini" | tr -d '\r')"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "running $exe (close the window to end it)"
  "$wine" "$exe" || true
  [ -f "$game/steam_api.ini" ] && echo "settings file: $(grep -a 'Language' "$game/steam_api.ini" | tr -d '\r')"
  exit 0
fi

shot="$build/run-screenshot.png"
rm -f "$shot"
echo "no X display: running under Xvfb for $seconds s"
"$root/scripts/with-display.sh" bash -c '
  "$1" "$2" >/dev/null 2>&1 & app=$!
  for _ in $(seq 150); do xdotool search --onlyvisible --name "Language Selector" >/dev/null 2>&1 && break; sleep 0.2; done
  sleep "$3"
  import -window root "$4"
  kill "$app" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wait "$app" 2>/dev/null || true' run "$wine" "$exe" "$seconds" "$shot"
if [ -f "$shot" ]; then
  echo "screenshot: $shot"
else
  echo "no screenshot was taken" >&2
  exit 1
fi
