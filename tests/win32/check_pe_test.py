#!/usr/bin/env python3
"""The checker of the shipped program against doctored copies of it: each copy lacks a resource,
carries one more, or has one that is not what it should be, and must fail the check.

Usage: check_pe_test.py LanguageSelector.exe
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe  # noqa: E402

EXE = None


class Doctor:
    """Edits the resource tree of a copy of the image in place."""

    def __init__(self, data):
        self.data = bytearray(data)
        self.image = check_pe.Image(bytes(self.data))
        self.base = self.image.offset(self.image.directory[2][0])

    def entries(self, directory):
        r = self.image.r
        named, ids = r.u16(directory + 12), r.u16(directory + 14)
        return named, ids

    def find(self, directory, key):
        """Index of the entry named `key` in a directory, and whether it is a named one."""
        for i, (k, _) in enumerate(self.image.entries(self.base, directory, want_directory=True)):
            if k == key:
                return i
        raise KeyError(key)

    def remove_type(self, key):
        """Drops one resource type (and so the resources under it) from the root directory."""
        root = self.base
        i = self.find(root, key)
        named, ids = self.entries(root)
        first = root + 16
        end = first + 8 * (named + ids)
        at = first + 8 * i
        self.data[at:end] = self.data[at + 8:end] + bytes(8)
        field = root + 12 if i < named else root + 14
        count = int.from_bytes(self.data[field:field + 2], "little") - 1
        self.data[field:field + 2] = count.to_bytes(2, "little")

    def name_entry(self, type_key):
        """File offset of the first name entry under a type."""
        type_dir = dict(self.image.entries(self.base, self.base, want_directory=True))[type_key]
        return type_dir + 16

    def rename(self, type_key, new_id):
        """Gives the first resource of a type another numeric identifier."""
        at = self.name_entry(type_key)
        self.data[at:at + 4] = new_id.to_bytes(4, "little")

    def leaf(self, type_key):
        type_dir = dict(self.image.entries(self.base, self.base, want_directory=True))[type_key]
        _, name_dir = next(self.image.entries(self.base, type_dir, want_directory=True))
        return name_dir + 16

    def set_language(self, type_key, language):
        at = self.leaf(type_key)
        self.data[at:at + 4] = language.to_bytes(4, "little")

    def spoil_payload(self, type_key):
        """Overwrites the first bytes of a resource's data."""
        _, leaf = next(self.image.entries(self.base, self.leaf(type_key) - 16, want_directory=False))
        at = self.image.offset(self.image.r.u32(leaf))
        self.data[at:at + 4] = b"JUNK"

    def problems(self):
        problems, _ = check_pe.check(bytes(self.data))
        return problems


def original():
    with open(EXE, "rb") as f:
        return f.read()


class CheckerOnDoctoredCopies(unittest.TestCase):
    def assertFailsWith(self, problems, fragment):
        self.assertTrue(any(fragment in p for p in problems),
                        f"no problem mentions {fragment!r}: {problems}")

    def test_the_program_as_built_passes(self):
        problems, resources = check_pe.check(original())
        self.assertEqual(problems, [])
        self.assertEqual(len(resources), 3)

    def test_a_program_without_one_of_its_three_resources_fails(self):
        for type_key, what in ((check_pe.RT_MANIFEST, "the manifest"), ("PNG", "the logo"),
                               (check_pe.RT_RCDATA, "the music")):
            with self.subTest(missing=what):
                doctor = Doctor(original())
                doctor.remove_type(type_key)
                problems = doctor.problems()
                self.assertFailsWith(problems, f"0 resources {type_key!r}")
                self.assertFailsWith(problems, what)

    def test_a_resource_under_another_name_is_one_too_many_and_one_missing(self):
        doctor = Doctor(original())
        doctor.rename(check_pe.RT_RCDATA, 2)
        problems = doctor.problems()
        self.assertFailsWith(problems, "10/2 is not one of the program's three resources")
        self.assertFailsWith(problems, "0 resources 10/1 (the music)")

    def test_logo_and_music_must_be_what_their_names_say(self):
        for type_key, message in (("PNG", "the logo is no PNG image"),
                                  (check_pe.RT_RCDATA, "the music is no XM module")):
            with self.subTest(spoiled=type_key):
                doctor = Doctor(original())
                doctor.spoil_payload(type_key)
                self.assertFailsWith(doctor.problems(), message)

    def test_every_resource_is_french(self):
        doctor = Doctor(original())
        doctor.set_language("PNG", 1033)
        self.assertFailsWith(doctor.problems(), "has language 1033, not 1036")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        sys.exit(2)
    EXE = sys.argv.pop()
    unittest.main(verbosity=2)
