#!/usr/bin/env python3
"""Plants one-line faults in the sources, one at a time, and tells which ones the tests catch.

For each fault: replace one line's text, build only the test programs that test that code, run
them, note whether any failed, and put the file back (always, even on an error or Ctrl-C). A
fault that no test catches "survives": it needs a test, or a reason why it changes nothing that
anyone could observe (then it is listed with `equivalent`).

    tools/plant_faults.py [--folder F] [--only ID ...] [--list] [--baseline]

The faults in player/ and gfx/ run against the native build, those in app/ against the win64
build, whose tests run under wine64 on an X display (scripts/with-display.sh). Configure both
builds first (cmake --preset native; cmake --preset win64). Refuses to run while a file it would
change has changes of its own. Prints a line per fault and a table per folder; exit status 1 when
a fault survives that is not known to be equivalent.
"""
import argparse
import os
import signal
import subprocess
import sys
import time
from collections import OrderedDict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The test programs of each part of the code: only the tests of the code a fault is in count.
REPLAY = ["effects_flow_test", "effects_pitch_test", "effects_song_wide_test",
          "effects_volume_test", "engine_envelope_test", "engine_loaded_song_test",
          "engine_order_test", "engine_robustness_test", "engine_timing_test",
          "engine_voice_test"]
SONG = ["loader_instruments_test", "loader_limits_test", "loader_patterns_test",
        "loader_samples_test", "loader_sources_test", "reader_test", "records_test",
        "engine_loaded_song_test", "engine_order_test", "engine_robustness_test"]
GFX = ["starfield_test", "starfield_frame_test"]
APP = ["language_settings_test", "shell_dialogs_test", "startup_test", "framework_test"]


class Fault:
    def __init__(self, ident, path, original, replacement, tests, nth=None, equivalent=None):
        self.ident, self.path, self.original, self.replacement = ident, path, original, replacement
        self.tests, self.nth, self.equivalent = tests, nth, equivalent

    @property
    def folder(self):
        parts = self.path.split("/")
        return "/".join(parts[:2]) if parts[0] == "player" else parts[0]

    @property
    def preset(self):
        return "win64" if self.folder == "app" else "native"


E = "player/replay/effects.cpp"
X = "player/replay/extended_effects.cpp"
V = "player/replay/volume_column.cpp"
O = "player/replay/oscillators.cpp"
N = "player/replay/envelopes.cpp"
G = "player/replay/engine.cpp"
F = "player/replay/song_flow.cpp"
L = "player/song/loader.cpp"
I = "player/song/loader_instruments.cpp"
S = "player/song/loader_samples.cpp"
LS = "app/language_settings.cpp"
SF = "gfx/starfield.cpp"

FAULTS = [
    # Effect memories: a non-zero parameter is stored, 0 reuses it.
    Fault("mem-portamento", E, "Remember(channel.portamentoMemory, p);",
          "channel.portamentoMemory = p;", REPLAY),
    Fault("mem-tone-portamento", E, "Remember(channel.tonePortamentoSpeed, p);",
          "channel.tonePortamentoSpeed = p;", REPLAY),
    Fault("mem-vibrato-speed", E, "if (p >> 4) channel.vibratoSpeed = p >> 4;",
          "channel.vibratoSpeed = p >> 4;", REPLAY),
    Fault("mem-vibrato-depth", E, "if (p & 0x0F) channel.vibratoDepth = p & 0x0F;",
          "channel.vibratoDepth = p & 0x0F;", REPLAY),
    Fault("mem-tremolo-speed", E, "if (p >> 4) channel.tremoloSpeed = p >> 4;",
          "channel.tremoloSpeed = p >> 4;", REPLAY),
    Fault("mem-tremolo-depth", E, "if (p & 0x0F) channel.tremoloDepth = p & 0x0F;",
          "channel.tremoloDepth = p & 0x0F;", REPLAY),
    Fault("mem-slide-5", E, "Remember(channel.volumeSlideMemory, p);",
          "channel.volumeSlideMemory = p;", REPLAY, nth=1),
    Fault("mem-slide-6", E, "Remember(channel.volumeSlideMemory, p);",
          "channel.volumeSlideMemory = p;", REPLAY, nth=2),
    Fault("mem-slide-A", E, "Remember(channel.volumeSlideMemory, p);",
          "channel.volumeSlideMemory = p;", REPLAY, nth=3),
    Fault("mem-global-slide", E, "Remember(t.module.globalVolumeSlideMemory, p);",
          "t.module.globalVolumeSlideMemory = p;", REPLAY),
    Fault("mem-X1", E, "Remember(channel.extraFinePortamentoUpMemory, y);",
          "channel.extraFinePortamentoUpMemory = y;", REPLAY),
    Fault("mem-E1", X, "Remember(channel.finePortamentoUpMemory, y);",
          "channel.finePortamentoUpMemory = y;", REPLAY),
    Fault("mem-EA-direction", X, "if (y != 0) channel.fineVolumeSlideMemory = static_cast<int8_t>(-y);",
          "if (y != 0) channel.fineVolumeSlideMemory = static_cast<int8_t>(y);", REPLAY),
    Fault("mem-retrigger", E, "channel.retriggerInterval = p & 0x0F;",
          "channel.retriggerInterval = p >> 4;", REPLAY),
    # Effects on their later ticks.
    Fault("panning-slide-top", E, "std::min(SaturatingAdd(channel.panning, right), 255)",
          "std::min(SaturatingAdd(channel.panning, right), 256)", REPLAY),
    Fault("retrigger-E-halving", O, "changed = (volume * 3) >> 1;",
          "changed = (volume * 3) / 2;", REPLAY),
    Fault("tremor-on-time", O, "if (channel.tremorCounter > channel.tremorOnTime) channel.volumeDelta",
          "if (channel.tremorCounter >= channel.tremorOnTime) channel.volumeDelta", REPLAY),
    Fault("tone-portamento-arrival", O, "channel.period = Saturate(distance < 0 ? target : target + distance);",
          "channel.period = Saturate(distance <= 0 ? target : target + distance);", REPLAY,
          equivalent="at distance 0 both branches give the target"),
    Fault("vibrato-rounding", O, "channel.periodDelta = ((wave * channel.vibratoDepth) >> 5) >> 1;",
          "channel.periodDelta = (wave * channel.vibratoDepth) / 64;", REPLAY),
    Fault("arpeggio-order", O, "(t.module.tick % 3 == 1) ? x : y",
          "(t.module.tick % 3 == 1) ? y : x", REPLAY),
    Fault("square-half", O, "return p < 32 ? 127 : -127;", "return p <= 32 ? 127 : -127;", REPLAY),
    Fault("sine-lower-half", O, "return p < 32 ? kHalfSine[p] : -kHalfSine[p & 31];",
          "return kHalfSine[p & 31];", REPLAY),
    Fault("E9-retrigger-ticks", X, "if (y != 0 && tick % y == 0) {",
          "if (y != 0 && tick == y) {", REPLAY),
    Fault("EC0-cuts", X, "if (tick == y) {", "if (tick >= y) {", REPLAY, nth=1),
    Fault("EE-delay-in-ticks", X, "t.module.patternDelay = y * t.module.speed;",
          "t.module.patternDelay = y;", REPLAY),
    Fault("ED-envelope-output", X,
          "channel.volumeEnvelopeOutput = channel.volumeEnvelopeOutput >= 10 ? 64 : 0;",
          "channel.volumeEnvelopeOutput = channel.volumeEnvelopeOutput > 10 ? 64 : 0;", REPLAY),
    Fault("E7-keeps-vibrato-nibble", X, "static_cast<uint8_t>((channel.waveformControl & 0x0F) | (y << 4));",
          "static_cast<uint8_t>((channel.waveformControl & 0xF0) | (y << 4));", REPLAY),
    Fault("E6-loop-count", F, "if (channel.patternLoopCounter != 0) {",
          "if (channel.patternLoopCounter > 1) {", REPLAY),
    Fault("Bxx-last-order", F, "const int order = t.cell.param < module.songLength ? t.cell.param : 0;",
          "const int order = t.cell.param <= module.songLength ? t.cell.param : 0;", REPLAY,
          equivalent="a pending order equal to the song length is taken as 0 when the row starts"),
    Fault("Dxy-after-Bxx", F, "if (t.flow != nullptr && t.flow->jumped) return;",
          "if (t.flow == nullptr) return;", REPLAY),
    Fault("tremolo-position-kept", G, "if (static_cast<int8_t>(channel.waveformControl) < 0x4F) channel.tremoloPosition = 0;",
          "if (static_cast<int8_t>(channel.waveformControl) <= 0x4F) channel.tremoloPosition = 0;", REPLAY),
    Fault("tremolo-level-stays", G, "if (channel.previousEffect == kEffectTremolo && cell.effect != kEffectTremolo) {",
          "if (channel.previousEffect == kEffectTremolo) {", REPLAY),
    # The volume column.
    Fault("volcol-set-top", V, "if (v >= 0x10 && v <= 0x50) {", "if (v >= 0x10 && v < 0x50) {", REPLAY),
    Fault("volcol-F-memory", V, "if (y != 0) channel.tonePortamentoSpeed = static_cast<uint8_t>(y * 16);",
          "channel.tonePortamentoSpeed = static_cast<uint8_t>(y * 16);", REPLAY),
    Fault("volcol-F-restarts", V, "channel.flags &= static_cast<uint8_t>(~kUpdateStart);",
          "channel.flags &= static_cast<uint8_t>(~kUpdateFrequency);", REPLAY),
    Fault("volcol-B-tick-vibrato", V, "            Vibrato(channel);", "", REPLAY),
    Fault("volcol-D-tick", V, "channel.panning = SaturatingAdd(channel.panning, -y);",
          "channel.panning = SaturatingAdd(channel.panning, y);", REPLAY, nth=2),
    # Envelopes and the fadeout.
    Fault("env-loop-end", N, "if ((view.type & kEnvelopeLoop) && s.next == view.loopEnd) {",
          "if ((view.type & kEnvelopeLoop) && s.next >= view.loopEnd) {", REPLAY),
    Fault("env-sustain-point", N, "s.next == view.sustain && !keyOff) return false;",
          "s.next == view.sustain + 1 && !keyOff) return false;", REPLAY),
    Fault("env-last-point", N, "bool IsLast(int index) const { return index >= count - 1; }",
          "bool IsLast(int index) const { return index >= count; }", REPLAY),
    Fault("env-L-search", N, "while (i + 1 < view.count && ticks > view.Tick(i + 1)) ++i;",
          "while (i + 1 < view.count && ticks >= view.Tick(i + 1)) ++i;", REPLAY),
    Fault("env-L-past-end", N, "channel.volumeEnvelopeOutput = view.Value(view.count - 1);",
          "channel.volumeEnvelopeOutput = view.Value(view.count - 2);", REPLAY),
    Fault("env-slope-falling-ticks", N, "if (ticks == 0) return 0;", "if (ticks <= 0) return 0;",
          REPLAY),
    Fault("key-off-without-envelope", G, "channel.volumeEnvelopeOutput = 0;", "", REPLAY),
    # The loader: limits, the order list and the patterns it adds.
    Fault("limit-rows", L, "if (pattern.rows < 1 || pattern.rows > kMaxRows) {",
          "if (pattern.rows < 1 || pattern.rows >= kMaxRows) {", SONG),
    Fault("limit-song-length", L, "if (header.songLength < 1 || header.songLength > kMaxOrders) {",
          "if (header.songLength < 1 || header.songLength >= kMaxOrders) {", SONG),
    Fault("limit-channels", L, "if (module.channelCount < 1 || module.channelCount > kMaxChannels) {",
          "if (module.channelCount < 1 || module.channelCount >= kMaxChannels) {", SONG),
    Fault("orders-highest-short", L, "*std::max_element(orders, orders + header.songLength);",
          "*std::max_element(orders, orders + header.songLength - 1);", SONG),
    Fault("slots-highest-plus-one", L, "static_cast<uint16_t>(highest + 1));",
          "static_cast<uint16_t>(highest));", SONG),
    Fault("added-pattern-rows", L, "constexpr uint16_t kAddedPatternRows = 64;",
          "constexpr uint16_t kAddedPatternRows = 63;", SONG),
    Fault("cell-instrument-limit", L, "if (cell.instrument > instrumentCount) cell.instrument = 0;",
          "if (cell.instrument >= instrumentCount) cell.instrument = 0;", SONG),
    Fault("cell-key-off", L, "if (cell.note > kKeyOff) cell.note = kKeyOff;",
          "if (cell.note >= kKeyOff) cell.note = kKeyOff;", SONG,
          equivalent="a note of 97 is set to 97"),
    Fault("title-top-byte", L, "if (c >= 0x20 && c <= 0x7F)", "if (c >= 0x20 && c < 0x7F)", SONG),
    Fault("limit-samples", I, "if (sampleCount > kMaxSamples) {", "if (sampleCount >= kMaxSamples) {",
          SONG),
    Fault("limit-sample-header", I, "if (sampleHeaderBytes > kSampleHeaderBytes) {",
          "if (sampleHeaderBytes >= kSampleHeaderBytes) {", SONG),
    Fault("envelope-two-points", I, "if (count < 2) type = 0;", "if (count < 1) type = 0;", SONG),
    Fault("envelope-loop-end", I, "if (loopEnd >= count) type &=", "if (loopEnd > count) type &=",
          SONG),
    Fault("fadeout-doubled", I, "instrument.fadeout = static_cast<uint16_t>(instrument.fadeout * 2);",
          "instrument.fadeout = static_cast<uint16_t>(instrument.fadeout);", SONG),
    Fault("limit-sample-points", S, "if (shape.lengthPoints >= kMaxSamplePoints) return nullptr;",
          "if (shape.lengthPoints > kMaxSamplePoints) return nullptr;", SONG),
    Fault("order-list-end", G, "if (module.order + 1 < module.songLength) {",
          "if (module.order + 1 <= module.songLength) {", REPLAY),
    Fault("restart-position", G, "module.restartPosition < module.songLength ? module.restartPosition : 0;",
          "module.restartPosition <= module.songLength ? module.restartPosition : 0;", REPLAY,
          equivalent="a pending order equal to the song length is taken as 0 when the row starts"),
    # The settings methods and their message boxes.
    Fault("success-owner", LS, "dialogs_.MsgBox(fields_.DialogOwner(), L\"Sucess!\", L\"Sucess!!!\",",
          "dialogs_.MsgBox(nullptr, L\"Sucess!\", L\"Sucess!!!\",", APP),
    Fault("success-icon", LS, "fw::MsgIcon::Information);", "fw::MsgIcon::Warning);", APP),
    Fault("success-title", LS, "L\"Sucess!\", L\"Sucess!!!\",", "L\"Sucess!\", L\"Success!!!\",", APP),
    Fault("warning-owner", LS, "dialogs_.MsgBox(fields_.DialogOwner(), L\"File not found!\"",
          "dialogs_.MsgBox(nullptr, L\"File not found!\"", APP),
    Fault("warning-icon", LS, "L\"Error!!!\", fw::MsgIcon::Warning);",
          "L\"Error!!!\", fw::MsgIcon::Information);", APP),
    Fault("warning-text", LS, "L\"File not found!\", L\"Error!!!\"", "L\"File not found\", L\"Error!!!\"",
          APP),
    Fault("read-buffer", LS, "constexpr DWORD kReadBufferChars = 255;",
          "constexpr DWORD kReadBufferChars = 256;", APP),
    Fault("nested-apply", LS, "if (SettingShown()) Command1_Click();", "", APP),
    Fault("browse-again", LS, "        boite_dialogue();\n    }", "    }", APP),
    Fault("failed-write-silent", LS, "if (written) {", "if (written || !written) {", APP),
    Fault("browse-title", LS, "L\") in the list below, then click OK.\";",
          "L\") in the list below, then click OK\";", APP),
    Fault("box-prompt-title", "app/shell_dialogs.cpp", "fw::MsgBox(owner, prompt, title, icon);",
          "fw::MsgBox(owner, title, prompt, icon);", APP),
    Fault("initial-language", "app/form1.cpp", "Lang_Combo.SetText(L\"English\");",
          "Lang_Combo.SetText(L\"German\");", APP),
    # The starfield's arithmetic.
    Fault("start-radius", SF, "constexpr double kStartRadiusDivisor = 5.0;",
          "constexpr double kStartRadiusDivisor = 4.0;", GFX),
    Fault("colour-levels", SF, "constexpr double kLevelsPerMaxRadius = 768.0;",
          "constexpr double kLevelsPerMaxRadius = 767.0;", GFX),
    Fault("centre-rounding", SF, "centerX_ = fw::RoundToInt32(scaleWidth_px / 2.0);",
          "centerX_ = scaleWidth_px / 2;", GFX),
    Fault("radius-from-height", SF, "maxRadius_ = fw::RoundToInt32(centerX_ * kRadiusPerHalfWidth);",
          "maxRadius_ = fw::RoundToInt32(centerY_ * kRadiusPerHalfWidth);", GFX),
    Fault("reseed-at-maximum", SF, "if (static_cast<double>(star.Radius) > maxRadius_)",
          "if (static_cast<double>(star.Radius) >= maxRadius_)", GFX),
    Fault("jitter-sign", SF, "a / kJitterDivisor + star.Speed - b / kJitterDivisor",
          "a / kJitterDivisor + star.Speed + b / kJitterDivisor", GFX),
    Fault("erase-dropped", SF, "    pixels.SetPixel(star.X, star.Y, 0);\n", "", GFX),
    Fault("acceleration", SF, "star.Speed = acceleration_ * star.Speed;",
          "star.Speed = acceleration_;", GFX),
    Fault("capacity-bound", SF, "if (index < 0 || index >= kStarCapacity)",
          "if (index < 0 || index > kStarCapacity)", GFX),
    Fault("channel-truncated", SF, "fw::RoundToInt32(static_cast<double>(base) + level)",
          "static_cast<int32_t>(base) + level", GFX),
    Fault("frame-pacing", "gfx/frame_pacing.cpp", "return now_ms - frameStart_ms > kFrameMinimum_ms;",
          "return now_ms - frameStart_ms >= kFrameMinimum_ms;", GFX),
    Fault("logo-reload", "gfx/logo_frame.cpp", "frame.reload = fw::RoundToInt32(draws.Draw()) == 0;",
          "frame.reload = fw::RoundToInt32(draws.Draw()) != 0;", GFX),
]


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(f"signal {signum}")


def run(cmd, timeout=None, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout, **kw)


def planted_text(text, fault):
    # Without `nth` the text must occur once; with it, the nth occurrence is planted.
    if fault.nth is None and text.count(fault.original) != 1:
        raise SystemExit(f"{fault.ident}: '{fault.original}' does not occur exactly once in "
                         f"{fault.path}")
    start = -1
    for _ in range(fault.nth or 1):
        start = text.find(fault.original, start + 1)
        if start < 0:
            raise SystemExit(f"{fault.ident}: '{fault.original}' occurs fewer than {fault.nth} "
                             f"times in {fault.path}")
    return text[:start] + fault.replacement + text[start + len(fault.original):]


def build(preset, programs):
    result = run(["cmake", "--build", "--preset", preset, "--target", *programs, "-j2"])
    return result.returncode == 0, result.stdout


def run_tests(preset, programs):
    """Returns the programs that failed (or hung)."""
    failed = []
    if preset == "native":
        for program in programs:
            path = os.path.join(ROOT, "build/native/tests", program)
            try:
                result = run([path, "--gtest_brief=1"], timeout=300)
                if result.returncode != 0:
                    failed.append(program)
            except subprocess.TimeoutExpired:
                failed.append(program + " (hung)")
        return failed
    regex = "^win_(" + "|".join(programs) + ")$"
    try:
        result = run(["scripts/with-display.sh", "ctest", "--preset", "win64", "-R", regex],
                     timeout=900)
    except subprocess.TimeoutExpired:
        return ["(hung)"]
    for line in result.stdout.splitlines():
        if "***Failed" in line or "***Timeout" in line or "***Exception" in line:
            failed.append(line.split()[3] if len(line.split()) > 3 else line)
    if result.returncode != 0 and not failed:
        failed.append("ctest exit %d" % result.returncode)
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--folder", help="only the faults of this folder (e.g. player/replay)")
    parser.add_argument("--only", nargs="+", help="only these faults")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--baseline", action="store_true",
                        help="first build and run the tests without a fault: all must pass")
    args = parser.parse_args()

    faults = [f for f in FAULTS if (not args.folder or f.folder == args.folder) and
              (not args.only or f.ident in args.only)]
    idents = [f.ident for f in FAULTS]
    duplicates = {i for i in idents if idents.count(i) > 1}
    if duplicates:
        raise SystemExit(f"faults named twice: {sorted(duplicates)}")
    for fault in faults:  # every fault must apply before any is planted
        with open(os.path.join(ROOT, fault.path)) as source:
            planted_text(source.read(), fault)
    if args.list:
        for f in faults:
            print(f"{f.ident:28} {f.path}: {f.original.strip()!r} -> {f.replacement.strip()!r}")
        return 0

    paths = sorted({f.path for f in faults})
    dirty = run(["git", "status", "--porcelain", "--", *paths]).stdout.strip()
    if dirty:
        raise SystemExit("plant_faults: these files have changes; commit or stash them first:\n"
                         + dirty)

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)

    if args.baseline:
        for preset in ("native", "win64"):
            programs = sorted({p for f in faults if f.preset == preset for p in f.tests})
            if not programs:
                continue
            ok, log = build(preset, programs)
            if not ok:
                raise SystemExit(f"baseline: the {preset} build fails:\n{log[-3000:]}")
            failed = run_tests(preset, programs)
            if failed:
                raise SystemExit(f"baseline: failing without a fault: {failed}")
        print("baseline: every test passes without a fault")

    results = []
    for fault in faults:
        full = os.path.join(ROOT, fault.path)
        with open(full) as source:
            original = source.read()
        started = time.time()
        try:
            with open(full, "w") as source:
                source.write(planted_text(original, fault))
            ok, log = build(fault.preset, fault.tests)
            if not ok:
                outcome, detail = "build-failed", log[-1500:]
            else:
                failed = run_tests(fault.preset, fault.tests)
                outcome = "caught" if failed else ("equivalent" if fault.equivalent else "survived")
                detail = ", ".join(failed) if failed else (fault.equivalent or "")
        finally:
            with open(full, "w") as source:
                source.write(original)
        results.append((fault, outcome))
        print(f"{outcome:12} {fault.ident:28} {fault.path} ({time.time() - started:.0f} s) {detail}",
              flush=True)

    print()
    table = OrderedDict()
    for fault, outcome in results:
        row = table.setdefault(fault.folder, {"planted": 0, "caught": 0, "equivalent": 0,
                                              "survived": 0, "build-failed": 0})
        row["planted"] += 1
        row[outcome] += 1
    print(f"{'folder':16} {'planted':>8} {'caught':>8} {'equivalent':>11} {'survived':>9}")
    totals = {"planted": 0, "caught": 0, "equivalent": 0, "survived": 0, "build-failed": 0}
    for folder, row in table.items():
        print(f"{folder:16} {row['planted']:8} {row['caught']:8} {row['equivalent']:11} "
              f"{row['survived']:9}")
        for key in totals:
            totals[key] += row[key]
    print(f"{'all':16} {totals['planted']:8} {totals['caught']:8} {totals['equivalent']:11} "
          f"{totals['survived']:9}")
    if totals["build-failed"]:
        print(f"{totals['build-failed']} faults did not build: fix their entries")
    survivors = [f.ident for f, outcome in results if outcome == "survived"]
    if survivors:
        print("survived: " + " ".join(survivors))
    return 1 if survivors or totals["build-failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
