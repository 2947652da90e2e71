#!/usr/bin/env python3
"""Plants one-line faults in the sources, one at a time, and tells which ones the tests catch.

Two kinds of fault. Generated ones come from the code itself: in every source file of the
folders below, each ordering comparison is moved across its bound (`<` and `<=`, `>` and `>=`)
and each `&&` and `||` is swapped, one at a time. Hand-written ones (FAULTS) are those no rule
makes: off-by-one lengths, a dropped clamp, a memory kept or cleared.

For each fault: change one line, build the test programs of that code one by one and run each,
until one fails (the fault is caught) or none is left (it survives); then put the file back
(always, even on an error or Ctrl-C). A survivor needs a test, or a reason why it changes
nothing anyone could observe: then it is listed in EQUIVALENT (generated) or with `equivalent`
(hand-written). A generated fault that does not build is dropped and counted.

    tools/plant_faults.py [--folder F ...] [--changed [--base REF]] [--only ID ...] [--list]
                          [--generated | --hand-written] [--baseline]

A generated fault is named by its file, the text of its line, which operator of the line it
changes and how, so that the list of equivalent ones stays valid while other lines move. Its
short name (`g-` and a hash of those) is what --only takes; the listing shows the line number.

The faults in player/ and gfx/ run against the native build, those in app/ and gfx/win against
the win64 build, whose tests run under wine64 on an X display (scripts/with-display.sh), and
the few in UNDER_SANITIZERS against the sanitize build. Configure those builds first
(cmake --preset native; cmake --preset win64; cmake --preset sanitize). --changed keeps the
faults of files that differ from main (or --base REF). Refuses to run while a file it would
change has changes of its own. Prints a line per fault and a table per folder; exit status 1
when a fault survives that is not known to be equivalent.
"""
import argparse
import glob
import hashlib
import os
import re
import signal
import subprocess
import sys
import time
from collections import OrderedDict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The test programs of each part of the code: only the tests of the code a fault is in count.
# The likeliest to catch a fault come first: the rest are not built once one has failed.
REPLAY = ["effects_volume_test", "effects_pitch_test", "engine_voice_test", "effects_flow_test",
          "engine_envelope_test", "effects_song_wide_test", "engine_timing_test",
          "engine_order_test", "engine_loaded_song_test", "engine_robustness_test"]
SONG = ["loader_limits_test", "loader_patterns_test", "loader_instruments_test",
        "loader_samples_test", "loader_sources_test", "reader_test", "records_test", "arena_test",
        "engine_loaded_song_test", "engine_order_test", "engine_robustness_test"]
MIXER = ["mixer_test", "render_block_test", "render_conversion_test", "fastpath_mixer_test",
         "fastpath_song_test"]
GFX = ["starfield_frame_test", "starfield_test"]
GFX_WIN = ["bitmap_test", "modimage_test", "starfield_test"]
APP = ["language_settings_test", "shell_dialogs_test", "startup_test", "framework_test"]

# Where faults are generated, with the tests of each folder. Only the folder's own files: the
# mixer's per-width loops (player/mixer/widths) are held to the plain loops bit for bit by the
# differential fuzz target instead.
GENERATED_FOLDERS = OrderedDict([
    ("player/replay", REPLAY),
    ("player/song", SONG),
    ("gfx", GFX),
    ("gfx/win", GFX_WIN),
    ("app", APP),
    ("player/mixer", MIXER),
])
# Files whose tests are not their folder's.
FILE_TESTS = {
    "app/cxx_runtime.cpp": ["cxx_runtime_probe"],
    "player/mixer/block_conversion.cpp": ["render_conversion_test", "render_block_test"],
}
# Windows test programs whose ctest entries are not named win_PROGRAM.
CTEST_NAMES = {"cxx_runtime_probe": "win_cxx_runtime_.*"}
WINDOWS_FOLDERS = ("app", "gfx/win")


def folder_of(path):
    parts = path.split("/")
    if parts[0] == "player" or parts[:2] == ["gfx", "win"]:
        return "/".join(parts[:2])
    return parts[0]


class Fault:
    """A hand-written fault: `original` (its nth occurrence, or its only one) becomes
    `replacement`."""
    generated = False

    def __init__(self, ident, path, original, replacement, tests, nth=None, equivalent=None):
        self.ident, self.path, self.original, self.replacement = ident, path, original, replacement
        self.tests, self.nth, self.equivalent = tests, nth, equivalent

    @property
    def folder(self):
        return folder_of(self.path)

    sanitized = None  # why the fault is judged under the sanitizers

    @property
    def preset(self):
        if self.folder in WINDOWS_FOLDERS:
            return "win64"
        return "sanitize" if self.sanitized else "native"

    def describe(self):
        return f"{self.original.strip()!r} -> {self.replacement.strip()!r}"

    def plant(self, text):
        # Without `nth` the text must occur once; with it, the nth occurrence is planted.
        if self.nth is None and text.count(self.original) != 1:
            raise SystemExit(f"{self.ident}: '{self.original}' does not occur exactly once in "
                             f"{self.path}")
        start = -1
        for _ in range(self.nth or 1):
            start = text.find(self.original, start + 1)
            if start < 0:
                raise SystemExit(f"{self.ident}: '{self.original}' occurs fewer than {self.nth} "
                                 f"times in {self.path}")
        return text[:start] + self.replacement + text[start + len(self.original):]


# --- Generated faults ---------------------------------------------------------------------------

SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "&&": "||", "||": "&&"}
# A binary operator as the project's format writes it: a space on each side. Template brackets,
# shifts, `->` and `T&&` never stand so.
OPERATOR = re.compile(r"(?<=\s)(<=|>=|<|>|&&|\|\|)(?=\s|$)")


def digit_separator(text, i):
    hexdigits = "0123456789abcdefABCDEF"
    return 0 < i < len(text) - 1 and text[i - 1] in hexdigits and text[i + 1] in hexdigits


def code_only(text):
    """The text with comments, string and character literals blanked out (same length, same
    lines), so that only operators of the code are seen."""
    out, i, n = [], 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif text[i] == '"' or (text[i] == "'" and not digit_separator(text, i)):
            quote, j = text[i], i + 1
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j += 1
        else:
            out.append(text[i])
            i += 1
            continue
        out.append(re.sub(r"[^\n]", " ", text[i:j]))
        i = j
    return "".join(out)


def operators_of(code_line):
    """(column, operator) of every operator a fault is made from, in one line of code."""
    stripped = code_line.lstrip()
    if stripped.startswith("#") or stripped.startswith("template"):
        return []
    return [(m.start(), m.group(1)) for m in OPERATOR.finditer(code_line)]


class GeneratedFault:
    """One operator of one line moved across its bound or swapped. Named by the file, the line's
    text (and which copy of it, should the file hold the same line twice), which of the line's
    operators and the change."""
    generated = True
    equivalent = None
    sanitized = None

    def __init__(self, path, text, copy, index, old, new, line, tests):
        self.path, self.text, self.copy, self.index = path, text, copy, index
        self.old, self.new, self.line, self.tests = old, new, line, tests
        # Which occurrence of this operator in the line, for the list of equivalent faults.
        self.nth = None
        key = f"{path}|{text}|{copy}|{index}|{new}"
        self.ident = "g-" + hashlib.sha1(key.encode()).hexdigest()[:8]

    folder = Fault.folder
    preset = Fault.preset

    def describe(self):
        where = f" (copy {self.copy + 1})" if self.copy else ""
        nth = f" #{self.nth}" if self.nth > 1 else ""
        return f"line {self.line}{where}: {self.old}{nth} -> {self.new} in {self.text!r}"

    def plant(self, text):
        lines = text.split("\n")
        code = code_only(text).split("\n")
        copy = -1
        for number, line in enumerate(lines):
            if line.strip() != self.text:
                continue
            copy += 1
            if copy != self.copy:
                continue
            column, old = operators_of(code[number])[self.index]
            assert old == self.old, (self.ident, old, self.old)
            lines[number] = line[:column] + self.new + line[column + len(old):]
            return "\n".join(lines)
        raise SystemExit(f"{self.ident}: the line {self.text!r} is gone from {self.path}")


def generate(folders):
    faults = []
    for folder in folders:
        tests = GENERATED_FOLDERS[folder]
        paths = sorted(glob.glob(os.path.join(ROOT, folder, "*.cpp")) +
                       glob.glob(os.path.join(ROOT, folder, "*.h")))
        for full in paths:
            path = os.path.relpath(full, ROOT)
            with open(full) as source:
                text = source.read()
            copies = {}
            for number, (line, code) in enumerate(zip(text.split("\n"),
                                                      code_only(text).split("\n")), start=1):
                found = operators_of(code)
                if not found:
                    continue
                stripped = line.strip()
                copy = copies.get(stripped, 0)
                copies[stripped] = copy + 1
                seen = {}
                for index, (_, old) in enumerate(found):
                    seen[old] = seen.get(old, 0) + 1
                    fault = GeneratedFault(path, stripped, copy, index, old, SWAPS[old], number,
                                           FILE_TESTS.get(path, tests))
                    fault.nth = seen[old]
                    faults.append(fault)
    return faults


class Equivalent:
    """A generated fault that changes nothing observable: in `path`, the line `text`, its `nth`
    operator `change` (as "< -> <="), and why it changes nothing."""

    def __init__(self, path, text, change, reason, nth=1):
        self.path, self.text, self.reason, self.nth = path, text, reason, nth
        self.old, self.new = change.split(" -> ")
        self.used = False

    def matches(self, fault):
        return (fault.path, fault.text, fault.old, fault.new, fault.nth) == \
            (self.path, self.text, self.old, self.new, self.nth)


# Generated faults known to change nothing observable.
EQUIVALENT = [
    # The replay.
    Equivalent("player/replay/engine.cpp",
               "return slot < module.patternSlotCount ? module.patterns[slot] : kEmptyPattern;",
               "< -> <=", "the loader gives every order entry of the song a slot (the count is at "
               "least the highest entry + 1), so no entry played equals the count"),
    Equivalent("player/replay/engine.cpp",
               "if (pattern.cells == nullptr || module.row >= pattern.rows) return nullptr;",
               ">= -> >", "EnterPendingPosition has sent a row at or past the pattern's end to "
               "row 0, and the pattern cannot change within the row"),
    Equivalent("player/replay/engine.cpp",
               "if (module.order < 0 || module.order >= module.songLength || module.order > 255) {",
               "< -> <=", "an order position of 0 is set to 0"),
    Equivalent("player/replay/engine.cpp",
               "if (module.order < 0 || module.order >= module.songLength || module.order > 255) {",
               ">= -> >", "no pending order equals the song length: the next order, the restart "
               "position, Bxx and JumpToOrder each take 0 for a position at or past it"),
    Equivalent("player/replay/engine.cpp",
               "if (module.row < 0 || module.row >= CurrentPattern(module).rows) module.row = 0;",
               "< -> <=", "a row of 0 is set to 0"),
    Equivalent("player/replay/engine.cpp", "if (channel.note >= kNotes) return NullSample;",
               ">= -> >", "a channel's note is only set from a cell's note 1..96 less one, so it "
               "never reaches 96"),
    Equivalent("player/replay/envelopes.cpp", "if (s.next < view.count) {", "< -> <=",
               "the next point stays below the count: reaching the last point finishes the "
               "envelope, and the loader turns off an envelope of fewer than two points"),
    Equivalent("player/replay/envelopes.cpp", "if (s.tick < INT32_MAX) ++s.tick;", "< -> <=",
               "the tick starts at 255 at most (Lxx) and grows by one per tick: INT32_MAX is "
               "2^31 ticks away, over 200 days at the fastest tempo"),
    Equivalent("player/replay/envelopes.cpp",
               "while (i + 1 < view.count && ticks > view.Tick(i + 1)) ++i;", "< -> <=",
               "one step past the last point still ends in IsLast: the same finished flag and "
               "the last point's value"),
    Equivalent("player/replay/frequency.cpp", "if (!(hz >= 0.0)) return 0;", ">= -> >",
               "0 Hz rounds to 0 as well"),
    Equivalent("player/replay/frequency.cpp", "if (hz >= kTop) return UINT32_MAX;", ">= -> >",
               "exactly 4294967295.0 Hz rounds to UINT32_MAX as well"),
    Equivalent("player/replay/frequency.cpp",
               "const int64_t difference = finetune >= 0 ? PlainAmigaPeriod(realNote + 1) - period",
               ">= -> >", "with finetune 0 the difference is multiplied by 0"),
    Equivalent("player/replay/oscillators.cpp", "if (distance > 0) {", "> -> >=",
               "at distance 0 both branches set the period to the target"),
    Equivalent("player/replay/oscillators.cpp",
               "channel.period = Saturate(distance > 0 ? target : target + distance);", "> -> >=",
               "at distance 0 both branches give the target"),
    Equivalent("player/replay/song_flow.cpp",
               "const int next = module.order + 1 < module.songLength ? module.order + 1 : 0;",
               "< -> <=", "a pending order equal to the song length is taken as 0 when the row "
               "starts, and the song walk meets it alike on every pass"),
    Equivalent("player/replay/voice_update.cpp",
               "const int32_t value = kQuarterSine[i <= 64 ? i : 128 - i];", "<= -> <",
               "at i = 64 both sides index entry 64"),
    Equivalent("player/replay/voice_update.cpp", "return q >= 128 ? -value : value;", ">= -> >",
               "at position 128 the value is 0, and -0 is 0"),
    # The loader and its reader.
    Equivalent("player/song/arena.cpp",
               "if (bytes > cap_ - used_ || bytes > SIZE_MAX - kAlign - sizeof(Block)) return nullptr;",
               "> -> >=", "at exactly that size the rounded block (SIZE_MAX - 15 bytes with its "
               "link) is refused by the cap or by calloc alike", nth=2),
    Equivalent("player/song/loader_fields.h",
               "reader.Read(bytes_, static_cast<int32_t>(count < N ? count : N));", "< -> <=",
               "at count = N both read N bytes"),
    Equivalent("player/song/loader_fields.h",
               "uint8_t U8(size_t offset) const { return offset < N ? bytes_[offset] : 0; }",
               "< -> <=", "every field the loader reads ends inside its block (song header byte "
               "335 of 336, instrument 32 of 33 and 207 of 208, pattern 8 of 9, sample 14 of 40)"),
    Equivalent("player/song/loader_instruments.cpp", "for (int i = 0; i < kEnvelopePoints; ++i) {",
               "< -> <=", "the record holds the file's bytes in their order: a 13th volume point "
               "is the first panning point and a 13th panning point the counts, sustain and loop "
               "start, each written again right after from the same bytes"),
    Equivalent("player/song/loader_samples.cpp", "for (uint32_t i = 0; i + 1 < count; i += 2) {",
               "< -> <=", "chunks of 16-bit data hold an even number of bytes, so i + 1 (odd) "
               "never equals the count"),
    Equivalent("player/song/loader_samples.cpp",
               "if (shape.loopStartPoints >= shape.lengthPoints) shape.loopStartPoints = shape.lengthPoints;",
               ">= -> >", "a loop start equal to the length is set to the length"),
    Equivalent("player/song/loader_samples.cpp",
               "if (uint64_t{shape.loopStartPoints} + shape.loopLengthPoints >= shape.lengthPoints)",
               ">= -> >", "when the loop ends exactly at the sample's end, its length is set to "
               "what it already is"),
    Equivalent("player/song/reader.cpp",
               "return next > kUnboundedSize ? kUnboundedSize : static_cast<uint32_t>(next);",
               "> -> >=", "at exactly 0xFFFFFFFF both give 0xFFFFFFFF"),
    Equivalent("player/song/reader.cpp", "if (count <= 0) return;", "<= -> <",
               "a read of 0 bytes copies nothing and advances by 0 either way"),
    Equivalent("player/song/reader.cpp",
               "position < static_cast<uint64_t>(cacheBase_) + kCacheBytes) {", "< -> <=",
               "at the cached block's end the part served from it is 0 bytes long, and the read "
               "goes on as from outside it"),
    Equivalent("player/song/reader.cpp", "if (alignedEnd > position) {", "> -> >=",
               "when the aligned end is the position, the direct read is 0 bytes long"),
    # The starfield.
    Equivalent("gfx/starfield.h",
               "static_assert(kAngleStep_rad == 1e-6f && kAcceleration == 1.00001f);", "&& -> ||",
               "a compile-time check whose two parts both hold: either form compiles, and it "
               "runs nothing"),
    Equivalent("gfx/starfield.h",
               "static_assert(kRadiusPerHalfWidth == 1.33333 && kTurn_rad == 6.283185307);",
               "&& -> ||", "a compile-time check whose two parts both hold: either form "
               "compiles, and it runs nothing"),
    # The program's own runtime and images.
    Equivalent("app/cxx_runtime.cpp",
               "return bytes <= kLargestBlock ? std::malloc(bytes ? bytes : 1) : nullptr;",
               "<= -> <", "no allocator hands out half the address space while the program "
               "occupies part of it: at exactly kLargestBlock malloc returns null as well"),
    Equivalent("app/cxx_runtime.cpp",
               "return bytes <= kLargestBlock ? _aligned_malloc(bytes ? bytes : 1, boundary) : nullptr;",
               "<= -> <", "no allocator hands out half the address space while the program "
               "occupies part of it: at exactly kLargestBlock _aligned_malloc returns null too"),
    Equivalent("gfx/win/bitmap.cpp", "if (!data || size == 0) return false;", "|| -> &&",
               "a loaded resource always locks, and an empty one fails a line later: a "
               "zero-byte moveable block cannot be locked (GlobalLock returns null)"),
    # The mixer's planner and boundary code.
    Equivalent("player/mixer/block_conversion.cpp", "masterVolume <= 0xFFFF) {", "<= -> <",
               "at 0xFFFF the plain conversion runs instead of the vector one, which matches it "
               "bit for bit"),
    Equivalent("player/mixer/mixer.cpp",
               "if (options.shortcuts && voice.sample->loopType == 1 && voice.sample->loopLength > 0 &&",
               "> -> >=", "the loader makes a loop of length 0 no loop (type 0), so a forward "
               "loop always has a length"),
    Equivalent("player/mixer/mixer.cpp",
               "const bool cutByRamp = ramping && voice.rampFramesLeft < chunk;", "< -> <=",
               "a ramp that ends with the chunk leaves the boundary the chunk reached to the next "
               "plan, which finds it at once (kBoundaryNow) and handles it before mixing a frame"),
    Equivalent("player/mixer/mixer_boundary.cpp",
               "if (p > high + period) p -= (p - high - 1) / period * period;", "> -> >=",
               "exactly one period beyond, the skip is (period - 1) / period = 0 periods"),
    Equivalent("player/mixer/mixer_boundary.cpp",
               "if (p < low - period) p += (low - p - 1) / period * period;", "< -> <=",
               "exactly one period before, the skip is (period - 1) / period = 0 periods"),
    Equivalent("player/mixer/mixer_boundary.cpp", "backward = p > high;", "> -> >=",
               "inside the loop p lies outside [low, high], so it never equals high"),
    Equivalent("player/mixer/mixer_boundary.cpp",
               "if ((s.loopType != 1 && s.loopType != 2) || loopLength <= 0) {", "<= -> <",
               "the loader makes a loop of length 0 no loop (type 0)"),
    Equivalent("player/mixer/mixer_frames.h",
               "return static_cast<int32_t>(((p >> 6) + (p < 0 ? 1 : 0)) >> 1);", "< -> <=",
               "at p = 0, (0 + 1) >> 1 is 0 as well"),
    Equivalent("player/mixer/mixer_kernels.cpp", "for (int i = 0; i < offered.count; ++i) {",
               "< -> <=", "the last table offered, the plain loops (0 bits), always fits, so the "
               "loop returns before it reaches the count"),
    Equivalent("player/mixer/mixer_planner.h",
               "const int64_t boundary = position < LoopEnd(s) ? LoopEnd(s) : int64_t{s.length};",
               "< -> <=", "no forward voice starts a chunk at its loop end: notes start below it "
               "(9xx refuses the rest), wraps land below it, and a ping-pong turn there goes back"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (n == 0 || n * step > distance + 2 * step || n * step + 2 * step < distance) {",
               "> -> >=", "the division and the two loops both end at the least n with n x step "
               ">= distance"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (n == 0 || n * step > distance + 2 * step || n * step + 2 * step < distance) {",
               "< -> <=", "the division and the two loops both end at the least n with n x step "
               ">= distance"),
    Equivalent("player/mixer/mixer_planner.h", "while (n * step < distance) ++n;", "< -> <=",
               "an n one too high is brought back by the next loop, as (n - 1) x step >= distance"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (2 * step >= length || q < 0 || q >= step) return 0;", ">= -> >",
               "a loop of exactly two steps wraps every two frames with the offset unchanged: the "
               "ordinary wrap does just what the walk would"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (2 * step >= length || q < 0 || q >= step) return 0;", ">= -> >",
               "q = step lands a frame exactly on the loop end, whose continuation point is the "
               "loop start's, and leaves the offset where the walk has it a frame later", nth=2),
    Equivalent("player/mixer/mixer_planner.h", "const bool more = q < r;", "< -> <=",
               "q = r lands a frame exactly on the loop end, whose continuation point is the loop "
               "start's, and leaves the offset where the walk has it a frame later"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (n > frames || distance <= (n - 1) * shifted || distance > n * shifted) break;",
               "> -> >=", "only leaves one more wrap to the walk, which gives the same"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (n > frames || distance <= (n - 1) * shifted || distance > n * shifted) break;",
               "> -> >=", "only leaves one more wrap to the walk, which gives the same", nth=2),
    Equivalent("player/mixer/mixer_planner.h", "if (position_fp32_32 < 0) return 0;", "< -> <=",
               "a backward voice at 0 is at its loop start (never below 0): its distance is 0 "
               "and the plan stops before asking this"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (position_fp32_32 >= static_cast<int64_t>((frames - 1) * step_fp32_32)) return frames;",
               ">= -> >", "at equality position / step + 1 is frames as well"),
    Equivalent("player/mixer/mixer_planner.h",
               "if (2 * step >= length || q < 0 || q >= step) return 0;", "< -> <=",
               "only leaves the wraps from q = 0 to the walk, which gives the same"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (voice.position < 0 || voice.position >= loopEnd || s.data[loopEnd] != s.data[loopStart]) {",
               "< -> <=", "only leaves a voice at point 0 to the chunk loop, which gives the same "
               "bits"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (voice.position < 0 || voice.position >= loopEnd || s.data[loopEnd] != s.data[loopStart]) {",
               ">= -> >", "no forward voice starts a span at its loop end: notes start below it "
               "(9xx refuses the rest), wraps land below it, and a ping-pong turn there goes back"),
    Equivalent("player/mixer/mixer_shortcuts.cpp", "if (count > kMaxPoints) return false;",
               "> -> >=", "only leaves a span of exactly 2048 points to the chunk loop, which "
               "gives the same bits"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (p < end_fp32_32 || p - end_fp32_32 >= (loopLength << 32)) return false;",
               "< -> <=", "only leaves a chunk ending exactly at the loop end to the chunk loop, "
               "which gives the same bits"),
    Equivalent("player/mixer/mixer_shortcuts.cpp", "if (i < std::min(count, loopLength)) {",
               "< -> <=", "at equality the copy is 0 points long and i stays"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "for (int64_t run = loopLength; i < count; i += run, run *= 2) {", "< -> <=",
               "at i = count one more copy of 0 points is made, and the loop ends"),
    Equivalent("player/mixer/mixer_span.h",
               "return s.data != nullptr && s.length < (uint32_t{1} << 22) && s.loopStart >= 0 &&",
               "< -> <=", "the loader refuses samples of 2^22 points or more"),
    Equivalent("player/mixer/mixer_span.h",
               "s.loopLength >= 0 && LoopEnd(s) <= int64_t{s.length};", ">= -> >",
               "a loop length of 0 is an empty sample: skipped as inconsistent or stopped at once "
               "at its end, it is silent, and the next note starts with the same ramp state"),
    Equivalent("player/mixer/mixer_span.h",
               "return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;", ">= -> >",
               "only narrows where the vector loops run: the plain loops give the same bits"),
    Equivalent("player/mixer/mixer_span.h",
               "return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;", "<= -> <",
               "only narrows where the vector loops run: the plain loops give the same bits"),
    Equivalent("player/mixer/mixer_span.h",
               "return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;", ">= -> >",
               "only narrows where the vector loops run: the plain loops give the same bits", nth=2),
    Equivalent("player/mixer/mixer_span.h",
               "return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;", "<= -> <",
               "only narrows where the vector loops run: the plain loops give the same bits", nth=2),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (after.rampFramesLeft == 0 && !settled) SetUpRamp(after);", "&& -> ||",
               "in the middle of a ramp the set-up returns at once: its targets do not change "
               "within a span"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (ramping && after.rampFramesLeft < chunk) {", "< -> <=",
               "at equality the boundary the chunk reached is left to the next pass, which wraps "
               "it there or gives the span back to the chunk loop: the same bits"),
    Equivalent("player/mixer/mixer_shortcuts.cpp",
               "if (p + static_cast<int64_t>(step * (chunk - 1)) >= end_fp32_32) {", ">= -> >",
               "a frame exactly at the loop end (fraction 0) reads the continuation point, checked "
               "above to equal the loop start's, as the unrolled copy has there"),
    Equivalent("player/mixer/mixer_span.h", "if (beyond > 0) {", "> -> >=",
               "at the loop end itself both sides give the loop start, with the fraction kept"),
]

# Generated faults whose only effect is undefined behaviour that the plain build happens to hide
# (a read one past a table that finds the value the right branch gives): their tests run in the
# sanitize build, where AddressSanitizer reports the read.
UNDER_SANITIZERS = [
    Equivalent("player/replay/oscillators.cpp",
               "return p < 32 ? kHalfSine[p] : -kHalfSine[p & 31];", "< -> <=",
               "at position 32 it reads one past the half sine, where the plain build finds 0"),
    Equivalent("player/mixer/mixer_kernels.cpp", "for (int i = 0; i < built.count; ++i) {",
               "< -> <=", "with all three widths built it reads one past their table, where the "
               "plain build finds a width that does not run"),
]

# --- Hand-written faults ---

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


def build(preset, programs):
    result = run(["nice", "-n", "10", "cmake", "--build", "--preset", preset, "--target",
                  *programs, "-j2"])
    return result.returncode == 0, result.stdout


def run_native(program, preset="native"):
    """True when the program passed."""
    path = os.path.join(ROOT, "build", preset, "tests", program)
    try:
        return run([path, "--gtest_brief=1"], timeout=120).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def run_windows(program):
    """True when every ctest entry of the program passed."""
    regex = "^(" + CTEST_NAMES.get(program, "win_" + program) + ")$"
    try:
        result = run(["scripts/with-display.sh", "ctest", "--preset", "win64", "-R", regex],
                     timeout=900)
    except subprocess.TimeoutExpired:
        return False
    return result.returncode == 0 and "No tests were found" not in result.stdout


def try_fault(fault):
    """Builds and runs the fault's tests one program at a time until one fails. Returns the
    outcome and a detail."""
    for position, program in enumerate(fault.tests):
        ok, log = build(fault.preset, [program])
        if not ok:
            if position == 0:
                return "dropped", log[-1500:]
            raise SystemExit(f"{fault.ident}: {program} does not build, though "
                             f"{fault.tests[0]} did:\n{log[-3000:]}")
        passed = run_windows(program) if fault.preset == "win64" else \
            run_native(program, fault.preset)
        if not passed:
            return "caught", program + (" (sanitize)" if fault.sanitized else "")
    if fault.equivalent:
        return "equivalent", fault.equivalent
    return "survived", ""


def changed_files(base):
    fork = run(["git", "merge-base", base, "HEAD"]).stdout.strip()
    if not fork:
        raise SystemExit(f"plant_faults: no common ancestor with {base}")
    committed = run(["git", "diff", "--name-only", fork, "HEAD"]).stdout.split()
    uncommitted = run(["git", "diff", "--name-only", "HEAD"]).stdout.split()
    return set(committed) | set(uncommitted)


def select(args):
    folders = args.folder or list(GENERATED_FOLDERS)
    unknown = [f for f in folders if f not in GENERATED_FOLDERS]
    if unknown:
        raise SystemExit(f"plant_faults: no such folder: {unknown}; "
                         f"the folders are {list(GENERATED_FOLDERS)}")
    faults = []
    if not args.generated:
        faults += [f for f in FAULTS if f.folder in folders]
    if not args.hand_written:
        texts = {}  # a generated fault that a hand-written one already plants is left out
        for fault in FAULTS:
            texts.setdefault(fault.path, set())
        generated = generate(folders)
        contents = {}
        for fault in generated:
            if fault.path not in contents:
                with open(os.path.join(ROOT, fault.path)) as source:
                    contents[fault.path] = source.read()
        for fault in FAULTS:
            if fault.path in contents:
                texts[fault.path].add(fault.plant(contents[fault.path]))
        for fault in generated:
            if fault.plant(contents[fault.path]) in texts.get(fault.path, ()):
                continue
            for entry in EQUIVALENT:
                if entry.matches(fault):
                    fault.equivalent, entry.used = entry.reason, True
            for entry in UNDER_SANITIZERS:
                if entry.matches(fault):
                    fault.sanitized, entry.used = entry.reason, True
            faults.append(fault)
        stale = [e for e in EQUIVALENT + UNDER_SANITIZERS
                 if not e.used and folder_of(e.path) in folders]
        for entry in stale:
            print(f"plant_faults: no fault matches the equivalent entry {entry.path}: "
                  f"{entry.old} #{entry.nth} -> {entry.new} in {entry.text!r}", file=sys.stderr)
        if stale:
            raise SystemExit("plant_faults: mend or remove these entries of EQUIVALENT")
    if args.changed:
        changed = changed_files(args.base)
        faults = [f for f in faults if f.path in changed]
    if args.only:
        faults = [f for f in faults if f.ident in args.only]
    return faults


def print_table(results):
    columns = ["generated", "by hand", "no build", "caught", "equivalent", "survived"]
    table = OrderedDict()
    for fault, outcome in results:
        row = table.setdefault(fault.folder, dict.fromkeys(columns, 0))
        row["generated" if fault.generated else "by hand"] += 1
        row["no build" if outcome == "dropped" else outcome] += 1
    totals = dict.fromkeys(columns, 0)
    print(f"{'folder':16}" + "".join(f"{c:>11}" for c in columns))
    for folder, row in table.items():
        print(f"{folder:16}" + "".join(f"{row[c]:11}" for c in columns))
        for c in columns:
            totals[c] += row[c]
    print(f"{'all':16}" + "".join(f"{totals[c]:11}" for c in columns))
    return totals


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--folder", nargs="+", help="only these folders (e.g. player/replay)")
    parser.add_argument("--changed", action="store_true",
                        help="only the faults in files that differ from main (or --base)")
    parser.add_argument("--base", default="main", help="what --changed compares with")
    parser.add_argument("--only", nargs="+", help="only these faults")
    parser.add_argument("--generated", action="store_true", help="only the generated faults")
    parser.add_argument("--hand-written", action="store_true", help="only the hand-written ones")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--baseline", action="store_true",
                        help="first build and run the tests without a fault: all must pass")
    args = parser.parse_args()

    idents = [f.ident for f in FAULTS]
    duplicates = {i for i in idents if idents.count(i) > 1}
    if duplicates:
        raise SystemExit(f"faults named twice: {sorted(duplicates)}")
    faults = select(args)
    for fault in faults:  # every fault must apply before any is planted
        with open(os.path.join(ROOT, fault.path)) as source:
            fault.plant(source.read())
    if args.list:
        for f in faults:
            mark = "  [equivalent]" if f.equivalent else "  [sanitize]" if f.sanitized else ""
            print(f"{f.ident:28} {f.path}: {f.describe()}{mark}")
        print(f"{len(faults)} faults")
        return 0

    paths = sorted({f.path for f in faults})
    dirty = run(["git", "status", "--porcelain", "--", *paths]).stdout.strip()
    if dirty:
        raise SystemExit("plant_faults: these files have changes; commit or stash them first:\n"
                         + dirty)

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)
    began = time.time()

    if args.baseline:
        for preset in ("native", "sanitize", "win64"):
            programs = sorted({p for f in faults if f.preset == preset for p in f.tests})
            if not programs:
                continue
            ok, log = build(preset, programs)
            if not ok:
                raise SystemExit(f"baseline: the {preset} build fails:\n{log[-3000:]}")
            failed = [p for p in programs if not (run_windows(p) if preset == "win64" else
                                                  run_native(p, preset))]
            if failed:
                raise SystemExit(f"baseline: failing without a fault: {failed}")
        print("baseline: every test passes without a fault", flush=True)

    results = []
    for fault in faults:
        full = os.path.join(ROOT, fault.path)
        with open(full) as source:
            original = source.read()
        started = time.time()
        try:
            with open(full, "w") as source:
                source.write(fault.plant(original))
            outcome, detail = try_fault(fault)
        finally:
            with open(full, "w") as source:
                source.write(original)
        results.append((fault, outcome))
        if outcome == "dropped":
            detail = "does not build"
        print(f"{outcome:10} {fault.ident:26} {fault.path} ({time.time() - started:.0f} s) "
              f"{fault.describe()}  {detail}", flush=True)

    print()
    totals = print_table(results)
    print(f"{time.time() - began:.0f} s")
    hand_dropped = [f.ident for f, outcome in results if outcome == "dropped" and not f.generated]
    if hand_dropped:
        print("hand-written faults that do not build (fix their entries): " +
              " ".join(hand_dropped))
    survivors = [f for f, outcome in results if outcome == "survived"]
    for fault in survivors:
        print(f"survived: {fault.ident} {fault.path}: {fault.describe()}")
    return 1 if survivors or hand_dropped else 0


if __name__ == "__main__":
    sys.exit(main())
