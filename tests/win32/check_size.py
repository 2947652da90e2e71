#!/usr/bin/env python3
"""Keeps the shipped 32-bit program small: at most 160 KiB with its resources, and no C++
exception machinery (the program is built without exceptions, so the only unwind tables left
are the few of the C start-up code). Prints the section table.

Usage: check_size.py LanguageSelector.exe
"""
import sys

MAX_FILE_BYTES = 160 * 1024
# The start-up code's own tables; the exception runtime alone would add tens of kilobytes.
MAX_EH_FRAME_BYTES = 8 * 1024


def sections(data):
    pe = int.from_bytes(data[0x3C:0x40], "little")
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("no PE signature")
    count = int.from_bytes(data[pe + 6:pe + 8], "little")
    optional_size = int.from_bytes(data[pe + 20:pe + 22], "little")
    table = pe + 24 + optional_size
    strings = None
    for i in range(count):
        entry = data[table + 40 * i:table + 40 * (i + 1)]
        name = entry[:8].rstrip(b"\0").decode("ascii")
        if name.startswith("/"):  # long names live in the string table
            symbols = int.from_bytes(data[pe + 12:pe + 16], "little")
            nsyms = int.from_bytes(data[pe + 16:pe + 20], "little")
            strings = symbols + 18 * nsyms
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode("ascii")
        virtual_size = int.from_bytes(entry[8:12], "little")
        raw_size = int.from_bytes(entry[16:20], "little")
        yield name, virtual_size, raw_size


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    print(f"{'section':10} {'size':>8} {'in file':>8}")
    for name, virtual_size, raw_size in sections(data):
        print(f"{name:10} {virtual_size:8} {raw_size:8}")
        if name.startswith(".eh_fram") and virtual_size > MAX_EH_FRAME_BYTES:
            problems.append(f"{name} holds {virtual_size} bytes of unwind tables "
                            f"(at most {MAX_EH_FRAME_BYTES}): "
                            "the program's own code carries unwind tables again")
    print(f"file: {len(data)} bytes (at most {MAX_FILE_BYTES})")
    if len(data) > MAX_FILE_BYTES:
        problems.append(f"{len(data)} bytes, more than {MAX_FILE_BYTES}")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    sys.exit(main(sys.argv[1]))
