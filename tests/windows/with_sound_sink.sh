# Runs a Windows test program with a sound device: a PulseAudio server of its own whose only sink
# is a null sink at the player's format, torn down afterwards. LS_EXPECT_SOUND=1 tells the
# program that a missing device is a failure, not a reason to skip.
#   with_sound_sink.sh EMULATOR... PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../e2e/music_sink.sh"
# A 32-bit program that cannot run here is reported as not run before any server starts.
"$here/../../scripts/wine-run.sh" --check "${@: -1}" || exit $?
work=$(mktemp -d)
trap 'stop_music_sink; rm -rf "$work"' EXIT
start_music_sink "$work"
export LS_EXPECT_SOUND=1
"$@"
