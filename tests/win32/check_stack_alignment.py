#!/usr/bin/env python3
"""Checks the machine code of the shipped 32-bit program for vector accesses to the stack that
need 16-byte alignment. Windows guarantees only 4-byte stack alignment where it calls thread
procedures, window procedures and callbacks, so every function that reads or writes a stack slot
with an SSE instruction demanding an aligned operand (movaps, movdqa, packed arithmetic on a
memory operand) must align its own stack first (`and $-16, %esp` in its prologue).

Disassembles the program's own libraries and objects under BUILD_DIR and the runtime libraries
the compiler links, function by function, and fails on any function that breaks the rule. First
it shows that it can see the fault: a probe that keeps vectors on its stack, compiled without
the build's FLAGS, must be caught, and compiled with them must pass.

Usage: check_stack_alignment.py OBJDUMP CXX BUILD_DIR FLAGS
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

# Folders of the build tree that hold the program's own code (tests and GoogleTest excluded).
OWN_FOLDERS = ("framework", "gfx", "player", "app")
RUNTIME = ("libstdc++.a", "libgcc.a", "libgcc_eh.a", "libmingw32.a", "libmingwex.a",
           "libmsvcrt.a", "libwinpthread.a")

# SSE instructions whose memory operand need not be aligned: unaligned and partial moves,
# scalar arithmetic, and operands narrower than 16 bytes.
UNALIGNED_OK = {
    "movups", "movupd", "movdqu", "lddqu", "movss", "movsd", "movd", "movq", "movlps",
    "movhps", "movlpd", "movhpd", "movddup", "cvtdq2pd", "cvtps2pd", "cvtpi2ps", "cvtpi2pd",
    "pinsrb", "pinsrw", "pinsrd", "pextrb", "pextrw", "pextrd", "extractps", "insertps",
    "pmovzxbw", "pmovzxbd", "pmovzxbq", "pmovzxwd", "pmovzxwq", "pmovzxdq",
    "pmovsxbw", "pmovsxbd", "pmovsxbq", "pmovsxwd", "pmovsxwq", "pmovsxdq",
}

FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*[0-9a-f]+:\s+(\S+)\s*(.*)$")
STACK_OPERAND = re.compile(r"\((%esp|%ebp)(,[^)]*)?\)")
REALIGN = re.compile(r"^and[l]?\s+\$0xfffffff0,%esp|^and[l]?\s+\$0xffffffe0,%esp|"
                     r"^and[l]?\s+\$0xffffffc0,%esp")


def is_scalar(mnemonic):
    base = mnemonic.rstrip("lq") if mnemonic.startswith("cvtsi2") else mnemonic
    return base.endswith("ss") or base.endswith("sd")


def needs_alignment(mnemonic, operands):
    """True for an SSE instruction whose stack operand must be 16-byte aligned."""
    if "%xmm" not in operands or not STACK_OPERAND.search(operands):
        return False
    if mnemonic.startswith("v"):
        return mnemonic in ("vmovaps", "vmovapd", "vmovdqa", "vmovdqa32", "vmovdqa64")
    if mnemonic in UNALIGNED_OK or is_scalar(mnemonic):
        return False
    return True


def scan(objdump, path):
    """[(file, function, [offending instructions], realigns)] for functions touching the stack
    with alignment-demanding vector instructions."""
    text = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True,
                          capture_output=True, text=True).stdout
    found = []
    name, demanding, realigns = None, [], False

    def close():
        if name and demanding:
            found.append((path, name, demanding, realigns))

    for line in text.splitlines():
        m = FUNCTION.match(line)
        if m:
            close()
            name, demanding, realigns = m.group(1), [], False
            continue
        m = INSTRUCTION.match(line)
        if not m or name is None:
            continue
        mnemonic, operands = m.group(1), m.group(2)
        if REALIGN.match(f"{mnemonic} {operands}"):
            realigns = True
        elif needs_alignment(mnemonic, operands):
            demanding.append(f"{mnemonic} {operands}")
    close()
    return found


# Vectors kept on the stack across a call, read back by packed arithmetic. Compiled for SSE2 by
# attribute, so that the command line alone decides what the function assumes of its stack.
PROBE = r"""
#include <emmintrin.h>
void Elsewhere();
__attribute__((target("sse2"))) int Probe(const int* p) {
    __m128i a[12];
    for (int k = 0; k < 12; ++k) a[k] = _mm_loadu_si128((const __m128i*)(p + 4 * k));
    Elsewhere();
    __m128i s = _mm_setzero_si128();
    for (int k = 0; k < 12; ++k) s = _mm_add_epi32(s, _mm_mullo_epi16(a[k], a[(k + 1) % 12]));
    return _mm_cvtsi128_si32(s);
}
"""


def probe_faults(objdump, cxx, flags):
    """True when the probe, compiled with `flags`, assumes an aligned stack."""
    with tempfile.TemporaryDirectory() as work:
        source, obj = os.path.join(work, "probe.cpp"), os.path.join(work, "probe.o")
        with open(source, "w") as f:
            f.write(PROBE)
        subprocess.run([cxx, "-O2", *flags, "-c", source, "-o", obj], check=True)
        functions = scan(objdump, obj)
        return any(not realigns for _, _, _, realigns in functions)


def main(argv):
    if len(argv) != 5:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    objdump, cxx, build, flags = argv[1], argv[2], argv[3], argv[4].split()
    if not probe_faults(objdump, cxx, []):
        print("FAIL: the probe compiled without the build's flags was not caught")
        return 1
    if not flags or probe_faults(objdump, cxx, flags):
        print(f"FAIL: with the build's flags ({' '.join(flags)}) the probe assumes an aligned stack")
        return 1
    print(f"probe: caught without the build's flags, safe with {' '.join(flags)}")
    own = []
    for folder in OWN_FOLDERS:
        own += glob.glob(os.path.join(build, folder, "**", "*.a"), recursive=True)
        own += glob.glob(os.path.join(build, folder, "**", "main.cpp.obj"), recursive=True)
    if not own:
        print(f"FAIL: no libraries of the program under {build}")
        return 1
    runtime = [subprocess.run([cxx, f"-print-file-name={lib}"], check=True, capture_output=True,
                              text=True).stdout.strip() for lib in RUNTIME]
    runtime = [path for path in runtime if os.path.isabs(path) and os.path.exists(path)]

    bad = 0
    for group, paths in (("program", sorted(own)), ("runtime", runtime)):
        functions = [f for path in paths for f in scan(objdump, path)]
        safe = [f for f in functions if f[3]]
        print(f"{group}: {len(paths)} files, {len(functions)} functions with aligned vector "
              f"accesses to the stack, {len(safe)} of them align the stack first")
        for path, name, demanding, realigns in functions:
            state = "aligns its stack" if realigns else "FAIL: assumes an aligned stack"
            print(f"  {state}: {name} ({os.path.basename(path)}), e.g. {demanding[0]}")
            bad += 0 if realigns else 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
