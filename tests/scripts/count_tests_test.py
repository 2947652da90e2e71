"""The test command's counter against ctest reports of each kind it meets: a whole GoogleTest
program with skipped cases, failed cases or a crash, a discovered single case, a program that
could not start, disabled and filtered cases, and entries that are not GoogleTest at all."""
import os
import subprocess
import sys
import tempfile
import unittest
from xml.sax.saxutils import escape

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "count-tests.py")


def gtest_run(cases, disabled=0, filter_note=None):
    """GoogleTest's own output for `cases`: (name, outcome, message), outcome ok, fail or skip."""
    lines = ["Running main() from gtest_main.cc"]
    if filter_note:
        lines.append(f"Note: Google Test filter = {filter_note}")
    lines.append(f"[==========] Running {len(cases)} tests from 1 test suite.")
    for name, outcome, message in cases:
        lines.append(f"[ RUN      ] {name}")
        if outcome == "ok":
            lines.append(f"[       OK ] {name} (3 ms)")
        elif outcome == "skip":
            lines += ["C:/src/tests/windows/player_waveout_test.cpp:41: Skipped", message,
                      "", f"[  SKIPPED ] {name} (0 ms)"]
        else:
            lines += ["C:/src/t.cpp:9: Failure", message, f"[  FAILED  ] {name} (2 ms)"]
    lines.append(f"[==========] {len(cases)} tests from 1 test suite ran. (9 ms total)")
    by = {o: [n for n, oc, _ in cases if oc == o] for o in ("ok", "skip", "fail")}
    lines.append(f"[  PASSED  ] {len(by['ok'])} test{'s' * (len(by['ok']) != 1)}.")
    for label, names in (("SKIPPED ", by["skip"]), ("FAILED  ", by["fail"])):
        if names:
            lines.append(f"[  {label}] {len(names)} test{'s' * (len(names) != 1)}, listed below:")
            lines += [f"[  {label}] {n}" for n in names]
    if disabled:
        lines.append(f"  YOU HAVE {disabled} DISABLED TEST{'S' * (disabled != 1)}")
    return "\n".join(lines) + "\n"


def entry(name, status, out, skipped_message=None):
    extra = ""
    if status == "fail":
        extra = '<failure message=""/>'
    if skipped_message:
        extra = f'<skipped message="{skipped_message}"/>'
    return (f'<testcase name="{name}" classname="{name}" time="1" status="{status}">{extra}'
            f"<system-out>{escape(out)}</system-out></testcase>")


def count(*entries, reports=None):
    """Counts `entries` as one report, or each list of `reports` as a report of its own."""
    paths = []
    for group in reports or [entries]:
        with tempfile.NamedTemporaryFile("w", suffix=".xml", delete=False) as f:
            f.write(f'<?xml version="1.0"?><testsuite tests="{len(group)}">{"".join(group)}'
                    "</testsuite>")
        paths.append(f.name)
    try:
        out = subprocess.run([sys.executable, SCRIPT, "win64", *paths], capture_output=True,
                             text=True, check=True).stdout
    finally:
        for path in paths:
            os.unlink(path)
    return out.splitlines()[:-1], out.splitlines()[-1]


class CountTests(unittest.TestCase):
    def test_a_program_with_skipped_cases_counts_each_case_and_names_each_skip(self):
        notes, total = count(entry("win_player_waveout_test", "run", gtest_run([
            ("Waveout.PlaysThrough", "ok", ""),
            ("Waveout.ReportsPosition", "skip", "no sound device: waveOutOpen gave 2"),
            ("Waveout.Loops", "skip", "no sound device"),
        ])))
        self.assertEqual(total, "win64: 1 passed, 0 failed, 2 skipped (1 ctest entries, 0 not run)")
        text = "\n".join(notes)
        self.assertIn("win_player_waveout_test: passed, but 2 of its 3 cases skipped", text)
        self.assertIn("skipped Waveout.ReportsPosition: no sound device: waveOutOpen gave 2", text)
        self.assertIn("skipped Waveout.Loops: no sound device", text)

    def test_failures_count_per_case_and_a_crash_counts_as_one(self):
        notes, total = count(
            entry("win_framework_test", "fail", gtest_run([
                ("Label.Sizes", "fail", "0x0"), ("Label.Font", "ok", ""),
                ("Form.Shows", "fail", "no window")])),
            entry("win_shell_dialogs_test", "fail", "wine: Unhandled page fault\n"),
            # a sanitizer's report at exit, after every case passed
            entry("Reader.Reads", "fail", gtest_run([("Reader.Reads", "ok", "")])))
        self.assertEqual(total, "win64: 2 passed, 4 failed, 0 skipped (3 ctest entries, 0 not run)")
        self.assertIn("  win64: win_framework_test: FAILED (2 of 3 cases)", notes)
        self.assertIn("  win64: win_shell_dialogs_test: FAILED", notes)

    def test_what_did_not_run_is_counted_with_its_reason(self):
        notes, total = count(
            entry("core_mixer_test", "notrun",
                  "NOT RUN: core_mixer_test.exe: this machine cannot run 32-bit code: no IA-32\n",
                  "SKIP_RETURN_CODE=77"),
            entry("core_music_test", "notrun",
                  "NOT RUN: core_music_test.exe: this machine cannot run 32-bit code: no IA-32\n",
                  "SKIP_RETURN_CODE=77"),
            entry("MixerWidths.Steady/512", "notrun",
                  gtest_run([("MixerWidths.Steady/512", "skip", "the processor lacks AVX-512")]),
                  "SKIP_REGULAR_EXPRESSION_MATCHED"),
            entry("slow_soak", "disabled", "Disabled"),
            entry("win_bitmap_test", "run",
                  gtest_run([("Bitmap.Loads", "ok", "")], disabled=2,
                            filter_note="-Bitmap.FromResource*")),
            entry("clang_format_clean", "run", "all clean\n"))
        self.assertEqual(total, "win64: 2 passed, 0 failed, 6 skipped (6 ctest entries, 2 not run)")
        text = "\n".join(notes)
        # named once per reason
        self.assertIn("not run: this machine cannot run 32-bit code: no IA-32: core_mixer_test, "
                      "core_music_test", text)
        self.assertIn("not run: the processor lacks AVX-512: MixerWidths.Steady/512", text)
        self.assertIn("not run: disabled: slow_soak", text)
        self.assertIn("win_bitmap_test: 2 disabled cases not run", text)
        self.assertIn("the filter '-Bitmap.FromResource*'", text)

    def test_a_preset_run_in_two_parts_counts_both_reports(self):
        # The 32-bit programs in the virtual machine, the rebuild check here.
        notes, total = count(reports=[
            [entry("win_bitmap_test", "run", gtest_run([("Bitmap.Loads", "ok", ""),
                                                         ("Bitmap.Fails", "fail", "0x0")])),
             entry("core_music_test", "notrun", "NOT RUN: core_music_test.exe: wine32 could not "
                   "be installed: E: broken\n", "SKIP_RETURN_CODE=77")],
            [entry("reproducible_i686_program", "run", "same bytes\n")]])
        self.assertEqual(total, "win64: 2 passed, 1 failed, 1 skipped (3 ctest entries, 1 not run)")
        self.assertIn("  win64: not run: wine32 could not be installed: E: broken: core_music_test",
                      notes)

    def test_a_missing_or_empty_report_is_a_failure(self):
        _, total = count()
        self.assertEqual(total, "win64: 0 passed, 1 failed, 0 skipped (0 ctest entries, 0 not run)")
        out = subprocess.run([sys.executable, SCRIPT, "win32", "/nonexistent/report.xml"],
                             capture_output=True, text=True, check=True).stdout
        self.assertTrue(out.endswith("win32: 0 passed, 1 failed, 0 skipped (0 ctest entries, "
                                     "0 not run)\n"), out)


if __name__ == "__main__":
    unittest.main()
