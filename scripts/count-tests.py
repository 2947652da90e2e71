#!/usr/bin/env python3
"""Counts what one preset's ctest run did, in GoogleTest cases, from ctest's JUnit report.

A ctest entry that runs a whole GoogleTest program (the Windows builds register one per program)
counts as the cases it ran: passed, failed and skipped, each skip with its reason. A case left out
by a filter or disabled is counted as skipped too, so that nothing that did not run reads as a
pass. Any other entry counts as one case. An entry that failed without a failed case (a crash, a
sanitizer's report at exit) counts as one failure more.

Prints one line per entry that did not simply pass, then, last, `PRESET: P passed, F failed,
S skipped (E ctest entries, N not run)`, N counting the entries whose
program did not start (the return code that means "not run").
A preset run in two parts (the 32-bit programs in a virtual machine, the rest here) gives one
report per part.
    count-tests.py PRESET JUNIT_XML [JUNIT_XML ...]
"""
import re
import sys
import xml.etree.ElementTree as ET

RAN = re.compile(r"^\[==========\] (\d+) tests? from \d+ test suites? ran\.", re.M)
COUNT = {
    kind: re.compile(r"^\[  %s\] (\d+) tests?[.,]" % label, re.M)
    for kind, label in (("passed", "PASSED  "), ("failed", "FAILED  "), ("skipped", "SKIPPED "))
}
SKIPPED_CASE = re.compile(r"^\[  SKIPPED \] (\S+) \(\d+ ms\)$", re.M)
SKIP_MESSAGE = re.compile(r"^.*: Skipped$", re.M)
DISABLED = re.compile(r"^\s*YOU HAVE (\d+) DISABLED TESTS?", re.M)
# A whole program run with some of its cases filtered out (a discovered entry's filter names
# just its own case, with no pattern and no exclusion).
FILTER = re.compile(r"^Note: Google Test filter = (.*)$", re.M)


def skip_reasons(out):
    """Each skipped case of a GoogleTest run with the message GTEST_SKIP gave it."""
    reasons = []
    for m in SKIPPED_CASE.finditer(out):
        before = out[: m.start()]
        msg = list(SKIP_MESSAGE.finditer(before))
        text = ""
        if msg:
            text = " ".join(before[msg[-1].end():].split())
        reasons.append((m.group(1), text or "no reason given"))
    return reasons


def count(case):
    """(passed, failed, skipped, notes) of one ctest entry."""
    name = case.get("name")
    status = case.get("status")
    out = case.findtext("system-out") or ""
    if status == "disabled":
        return 0, 0, 1, [f"{name}: not run: disabled"]
    if status == "notrun":
        why = re.findall(r"NOT RUN: (?:[^:]*: )?(.*)", out)
        skipped = case.find("skipped")
        if not why and RAN.search(out):
            why = [r for _, r in skip_reasons(out)]
        if not why:
            why = [skipped.get("message") if skipped is not None else "not run"]
        return 0, 0, 1, [f"{name}: not run: {w}" for w in sorted(set(why))]
    ran = RAN.findall(out)
    if not ran:
        if status == "fail":
            return 0, 1, 0, [f"{name}: FAILED"]
        return 1, 0, 0, []
    passed, failed, skipped = (sum(int(n) for n in COUNT[k].findall(out))
                               for k in ("passed", "failed", "skipped"))
    notes = []
    if failed or status == "fail":
        notes.append(f"{name}: FAILED ({failed} of {passed + failed + skipped} cases)")
    if status == "fail" and failed == 0:
        failed = 1  # the program failed outside its cases
    for case_name, reason in skip_reasons(out):
        notes.append(f"{name}: skipped {case_name}: {reason}")
    disabled = sum(int(n) for n in DISABLED.findall(out))
    if disabled:
        skipped += disabled
        notes.append(f"{name}: {disabled} disabled cases not run")
    for pattern in FILTER.findall(out):
        if "-" in pattern or "*" in pattern or "?" in pattern or ":" in pattern:
            notes.append(f"{name}: cases left out by the filter {pattern!r} (not counted: "
                         "run the program with that filter inverted to list them)")
    if skipped and not failed:
        notes.insert(0, f"{name}: passed, but {skipped} of its {passed + skipped} cases skipped")
    return passed, failed, skipped, notes


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    preset = argv[1]
    cases = []
    for path in argv[2:]:
        try:
            cases += ET.parse(path).getroot().iter("testcase")
        except (OSError, ET.ParseError) as e:
            print(f"{preset}: no test report ({e})")
            print(f"{preset}: 0 passed, 1 failed, 0 skipped (0 ctest entries, 0 not run)")
            return 0
    totals = [0, 0, 0]
    entries = not_run = 0
    # Entries not run for one reason (a whole build on a machine that cannot run it) are named
    # together, once per reason.
    unrun = {}
    for case in cases:
        entries += 1
        skipped = case.find("skipped")
        not_run += skipped is not None and skipped.get("message", "").startswith("SKIP_RETURN_CODE")
        *numbers, notes = count(case)
        totals = [t + n for t, n in zip(totals, numbers)]
        for note in notes:
            name, _, reason = note.partition(": not run: ")
            if reason and case.get("status") in ("notrun", "disabled"):
                unrun.setdefault(reason, []).append(name)
            else:
                print(f"  {preset}: {note}")
    for reason, names in unrun.items():
        print(f"  {preset}: not run: {reason}: {', '.join(names)}")
    if entries == 0:
        print(f"{preset}: ctest ran no test")
        totals[1] += 1
    print(f"{preset}: {totals[0]} passed, {totals[1]} failed, {totals[2]} skipped"
          f" ({entries} ctest entries, {not_run} not run)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
