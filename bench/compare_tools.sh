#!/bin/bash
# Whole-process speed of xmrender next to the command-line players xmp and openmpt123: each
# renders the same songs to a WAV of 300 seconds at 48 kHz, 16-bit stereo, with linear
# interpolation, from process start to finished file. The figure is CPU seconds (user + system of
# the finished process), the median of a few runs taken in turn; a ratio says how many times
# less CPU xmrender took than the peer.
#
#   bench/compare_tools.sh [--runs N] [--seconds S] [FILE.xm ...]
#
# Songs by default: those the bench tool measures, music.xm included (bench_render --write-songs).
# Installs xmp and openmpt123 with apt-get when they are missing, and builds the bench preset
# when its programs are missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
seconds=300
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "compare_tools: unknown option $1" >&2; exit 2 ;;
    *) files+=("$(realpath "$1")"); shift ;;
  esac
done

missing=()
command -v xmp >/dev/null || missing+=(xmp)
command -v openmpt123 >/dev/null || missing+=(openmpt123)
if [ ${#missing[@]} -gt 0 ]; then
  echo "compare_tools: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" >&2
fi

build=$root/build/bench
if [ ! -x "$build/xmrender" ] || [ ! -x "$build/bench/bench_render" ]; then
  (cd "$root" && cmake --preset bench >&2 && cmake --build --preset bench >&2)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ${#files[@]} -eq 0 ]; then
  mkdir "$work/songs"
  "$build/bench/bench_render" --write-songs "$work/songs" >&2
  files=("$work"/songs/*.xm)
fi

python3 - "$build/xmrender" "$work" "$runs" "$seconds" "${files[@]}" <<'PY'
import os, shutil, statistics, subprocess, sys

xmrender, work, runs, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
songs = sys.argv[5:]

def commands(song, out):
    # openmpt123 writes SONG.wav beside the song it is given: it gets a copy in the output folder.
    copy = os.path.join(out, "openmpt", os.path.basename(song))
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    shutil.copyfile(song, copy)
    return {
        "xmrender": [xmrender, "--seconds", seconds, song, os.path.join(out, "xmrender.wav")],
        "xmp": ["xmp", "-q", "-f", "48000", "-i", "linear", "-l", "-t", seconds,
                "-o", os.path.join(out, "xmp.wav"), song],
        "openmpt123": ["openmpt123", "--render", "-q", "--force", "--filter", "2",
                       "--samplerate", "48000", "--no-float", "--repeat", "-1",
                       "--end-time", seconds, "--output-type", "wav", copy],
    }

def cpu_seconds(argv):
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=null, stderr=null)
        _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"compare_tools: {' '.join(argv)} failed")
    return usage.ru_utime + usage.ru_stime

tools = ["xmrender", "xmp", "openmpt123"]
print(f"CPU seconds for {seconds} s of 48 kHz 16-bit stereo WAV, whole process, "
      f"median of {runs} runs; ratio = peer / xmrender")
print(f"{'song':<14}{'xmrender':>10}{'xmp':>10}{'openmpt123':>12}{'xmp ratio':>11}{'openmpt ratio':>15}")
worst = None
for song in songs:
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    argvs = commands(song, out)
    times = {tool: [] for tool in tools}
    for run in range(runs + 1):
        for tool in tools:  # in turn, so that a change in the machine's speed hits all alike
            t = cpu_seconds(argvs[tool])
            if run > 0:  # the first round warms the caches
                times[tool].append(t)
    median = {tool: statistics.median(times[tool]) for tool in tools}
    xmp_ratio = median["xmp"] / median["xmrender"]
    mpt_ratio = median["openmpt123"] / median["xmrender"]
    worst = xmp_ratio if worst is None else min(worst, xmp_ratio)
    print(f"{os.path.basename(song):<14}{median['xmrender']:>10.3f}{median['xmp']:>10.3f}"
          f"{median['openmpt123']:>12.3f}{xmp_ratio:>10.2f}x{mpt_ratio:>14.2f}x", flush=True)
    shutil.rmtree(out)
print(f"lowest ratio to xmp: {worst:.2f}x")
PY
