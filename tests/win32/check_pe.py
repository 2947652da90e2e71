#!/usr/bin/env python3
"""Checks what the shipped 32-bit program is made of (it cannot run here): an i386 GUI
executable, linked statically (imports only from Windows itself), whose resources are exactly
three: the manifest asking for administrator rights, the logo and the music, all in language
1036 (French, France); no icon, no version information, nothing else.

Usage: check_pe.py LanguageSelector.exe
"""
import sys
import xml.etree.ElementTree as ET

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
LANG_FRENCH_FRANCE = 1036
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "winmm.dll", "msvcrt.dll", "advapi32.dll", "comctl32.dll", "uuid.dll",
}


class BadImage(Exception):
    pass


class Reader:
    """Bounds-checked little-endian reads over the file's bytes."""

    def __init__(self, data):
        self.data = data

    def bytes(self, offset, size):
        if offset < 0 or size < 0 or offset + size > len(self.data):
            raise BadImage(f"read of {size} bytes at {offset:#x} beyond the file ({len(self.data)} bytes)")
        return self.data[offset:offset + size]

    def u16(self, offset):
        return int.from_bytes(self.bytes(offset, 2), "little")

    def u32(self, offset):
        return int.from_bytes(self.bytes(offset, 4), "little")


class Image:
    def __init__(self, data):
        r = self.r = Reader(data)
        if r.bytes(0, 2) != b"MZ":
            raise BadImage("no MZ header")
        pe = r.u32(0x3C)
        if r.bytes(pe, 4) != b"PE\0\0":
            raise BadImage("no PE signature")
        coff = pe + 4
        self.machine = r.u16(coff)
        sections = r.u16(coff + 2)
        optional_size = r.u16(coff + 16)
        self.characteristics = r.u16(coff + 18)
        opt = coff + 20
        self.magic = r.u16(opt)
        self.subsystem = r.u16(opt + 68)
        # PE32+ (x86_64) has 8-byte fields before the data directories.
        table_at = opt + (96 if self.magic == PE32_MAGIC else 112)
        directories = r.u32(table_at - 4)
        self.directory = []
        for i in range(min(directories, 16)):
            self.directory.append((r.u32(table_at + 8 * i), r.u32(table_at + 4 + 8 * i)))
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            s = table + 40 * i
            name = r.bytes(s, 8).rstrip(b"\0").decode("ascii", "replace")
            virtual_size, virtual_address = r.u32(s + 8), r.u32(s + 12)
            raw_size, raw_pointer = r.u32(s + 16), r.u32(s + 20)
            self.sections.append((name, virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for _, address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise BadImage(f"RVA {rva:#x} lies in no section")

    def imports(self):
        rva, size = self.directory[1] if len(self.directory) > 1 else (0, 0)
        names = []
        if not rva:
            return names
        entry = self.offset(rva)
        for _ in range(4096):
            name_rva = self.r.u32(entry + 12)
            if name_rva == 0:
                break
            names.append(self.c_string(self.offset(name_rva)).lower())
            entry += 20
        return names

    def c_string(self, offset):
        end = self.r.data.find(b"\0", offset, offset + 512)
        if end < 0:
            raise BadImage(f"unterminated name at {offset:#x}")
        return self.r.data[offset:end].decode("ascii", "replace")

    def resources(self):
        """[(type, name, language, data bytes)]; type and name are ints or strings."""
        rva, _ = self.directory[2] if len(self.directory) > 2 else (0, 0)
        if not rva:
            return []
        base = self.offset(rva)
        found = []
        for type_id, type_dir in self.entries(base, base, want_directory=True):
            for name_id, name_dir in self.entries(base, type_dir, want_directory=True):
                for lang_id, leaf in self.entries(base, name_dir, want_directory=False):
                    data_rva, data_size = self.r.u32(leaf), self.r.u32(leaf + 4)
                    data = self.r.bytes(self.offset(data_rva), data_size)
                    found.append((type_id, name_id, lang_id, data))
        return found

    def entries(self, base, directory, want_directory):
        r = self.r
        count = r.u16(directory + 12) + r.u16(directory + 14)
        if count > 1024:
            raise BadImage(f"{count} entries in one resource directory")
        for i in range(count):
            e = directory + 16 + 8 * i
            name, target = r.u32(e), r.u32(e + 4)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = r.u16(at)
                key = r.bytes(at + 2, 2 * length).decode("utf-16-le")
            else:
                key = name & 0xFFFF
            is_directory = bool(target & 0x80000000)
            if is_directory != want_directory:
                raise BadImage(f"resource entry {key!r} at the wrong level")
            yield key, base + (target & 0x7FFFFFFF)


def check_manifest(xml_bytes, problems):
    try:
        root = ET.fromstring(xml_bytes)
    except ET.ParseError as e:
        problems.append(f"manifest is not XML: {e}")
        return
    def find(local):
        return [el for el in root.iter() if el.tag.split("}")[-1] == local]
    level = find("requestedExecutionLevel")
    if len(level) != 1:
        problems.append("manifest has no single requestedExecutionLevel")
    else:
        if level[0].get("level") != "requireAdministrator":
            problems.append(f"execution level is {level[0].get('level')!r}")
        if level[0].get("uiAccess") != "false":
            problems.append(f"uiAccess is {level[0].get('uiAccess')!r}")
    identity = [el for el in find("assemblyIdentity") if el not in
                [d for dep in find("dependency") for d in dep.iter()]]
    if not identity:
        problems.append("manifest has no assemblyIdentity")
    else:
        if identity[0].get("processorArchitecture") != "x86":
            problems.append(f"architecture is {identity[0].get('processorArchitecture')!r}")
        if identity[0].get("version") != "1.0.0.0":
            problems.append(f"version is {identity[0].get('version')!r}")
    if find("dependency") or b"Common-Controls" in xml_bytes:
        problems.append("manifest depends on another assembly (common controls)")


def check_logo(payload, problems):
    if not payload.startswith(b"\x89PNG\r\n\x1a\n"):
        problems.append("the logo is no PNG image")


def check_music(payload, problems):
    if not payload.startswith(b"Extended Module: "):
        problems.append("the music is no XM module")


# (type, name) of each resource the program carries, what it is and how its bytes are checked.
EXPECTED = {
    (RT_MANIFEST, 1): ("the manifest", check_manifest),
    ("PNG", "PNG"): ("the logo", check_logo),
    (RT_RCDATA, 1): ("the music", check_music),
}


def check(data):
    problems = []
    image = Image(data)
    if image.machine != MACHINE_I386:
        problems.append(f"machine {image.machine:#x}, not i386")
    if image.magic != PE32_MAGIC:
        problems.append(f"optional header magic {image.magic:#x}, not PE32")
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {image.subsystem}, not Windows GUI")
    foreign = [name for name in image.imports() if name not in SYSTEM_DLLS
               and not name.startswith("api-ms-win-")]
    if foreign:
        problems.append(f"imports from DLLs that are not part of Windows: {foreign}")

    resources = image.resources()
    for type_id, name_id, lang, _ in resources:
        what = f"resource {type_id!r}/{name_id!r}"
        if lang != LANG_FRENCH_FRANCE:
            problems.append(f"{what} has language {lang}, not 1036")
        if type_id in (RT_ICON, RT_GROUP_ICON):
            problems.append(f"{what} is an icon")
        elif type_id == RT_VERSION:
            problems.append(f"{what} is version information")
        elif (type_id, name_id) not in EXPECTED:
            problems.append(f"{what} is not one of the program's three resources")
    for key, (what, check_payload) in EXPECTED.items():
        found = [payload for t, n, _, payload in resources if (t, n) == key]
        if len(found) != 1:
            problems.append(f"{len(found)} resources {key[0]!r}/{key[1]!r} ({what}) instead of one")
        else:
            check_payload(found[0], problems)
    return problems, resources


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    try:
        problems, resources = check(data)
    except BadImage as e:
        problems, resources = [f"not a well-formed PE image: {e}"], []
    print(f"{argv[1]}: {len(data)} bytes")
    try:
        print(f"  imports: {', '.join(Image(data).imports())}")
    except BadImage:
        pass
    for type_id, name_id, lang, payload in resources:
        print(f"  resource type {type_id!r} name {name_id!r} language {lang}: {len(payload)} bytes")
    for p in problems:
        print(f"FAIL: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
