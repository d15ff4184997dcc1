#!/usr/bin/env python3
"""tools/zip_canonical.py: archives of the same files come out byte for
byte the same whatever order, times, extra fields and data descriptors
they were written with, and still hold the same files."""
import io
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import zip_canonical  # noqa: E402

EPOCH = 1796794147  # 2026-12-09 05:29:07 UTC
FILES = {
    "launcher.exe": (b"MZ" + bytes(range(256)) * 40, 0o100755),
    "README.txt": (b"# Title\r\n\r\ntext\r\n" * 30, 0o100644),
    "SHA256SUMS": (b"0" * 64 + b"  launcher.exe\n", 0o100644),
    "launcher-preview.exe": (os.urandom(3000), 0o100755),
}


class NonSeekable(io.RawIOBase):
    """A stream zipfile cannot seek back in: it writes data descriptors."""

    def __init__(self):
        self.buffer = bytearray()

    def writable(self):
        return True

    def write(self, data):
        self.buffer += data
        return len(data)


def make(order, date_time, extra=b"", streamed=False):
    target = NonSeekable() if streamed else io.BytesIO()
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        for name in order:
            data, mode = FILES[name]
            info = zipfile.ZipInfo(name, date_time)
            info.external_attr = mode << 16
            info.create_system = 3
            info.compress_type = zipfile.ZIP_DEFLATED
            info.extra = extra
            z.writestr(info, data)
    return bytes(target.buffer if streamed else target.getvalue())


# A UT field with three times and a ux field with an owner, as CPack writes.
UT_UX = (b"UT" + struct.pack("<HBIII", 13, 7, 1, 2, 3)
         + b"ux" + struct.pack("<HBBIBI", 11, 1, 4, 1000, 4, 1000))


class Canonical(unittest.TestCase):
    def test_same_bytes_from_every_variant(self):
        names = list(FILES)
        variants = {
            "given order": make(names, (2020, 1, 1, 0, 0, 0)),
            "reversed, other time": make(names[::-1], (2024, 6, 30, 23, 59, 58)),
            "extra fields": make(names[1:] + names[:1], (1999, 3, 3, 3, 3, 4), UT_UX),
            "data descriptors": make(names, (2001, 1, 1, 1, 1, 2), streamed=True),
        }
        results = {label: zip_canonical.canonical(data, EPOCH)
                   for label, data in variants.items()}
        first = results["given order"]
        for label, result in results.items():
            with self.subTest(variant=label):
                self.assertEqual(first, result)
                self.assertNotEqual(variants[label], result)

    def test_files_intact_in_name_order_at_the_given_time(self):
        result = zip_canonical.canonical(
            make(list(FILES)[::-1], (2020, 1, 1, 0, 0, 0), UT_UX), EPOCH)
        with zipfile.ZipFile(io.BytesIO(result)) as z:
            self.assertIsNone(z.testzip())
            infos = z.infolist()
            self.assertEqual(sorted(FILES), [i.filename for i in infos])
            for info in infos:
                with self.subTest(name=info.filename):
                    data, mode = FILES[info.filename]
                    self.assertEqual(data, z.read(info))
                    self.assertEqual(mode, info.external_attr >> 16)
                    self.assertEqual((2026, 12, 9, 5, 29, 6), info.date_time)
                    self.assertEqual(b"", info.extra)
                    self.assertEqual(0, info.flag_bits & 0x8)

    def test_again_changes_nothing(self):
        once = zip_canonical.canonical(make(list(FILES), (2020, 1, 1, 0, 0, 0)), EPOCH)
        self.assertEqual(once, zip_canonical.canonical(once, EPOCH))

    def test_times_before_1980_become_1980(self):
        self.assertEqual((0, (0 << 9) | (1 << 5) | 1), zip_canonical.dos_time(0))

    def test_refuses(self):
        one = make(["launcher.exe"], (2020, 1, 1, 0, 0, 0))
        twice = io.BytesIO()
        with zipfile.ZipFile(twice, "w") as z:
            z.writestr("a", b"1")
            with self.assertWarns(UserWarning):  # zipfile warns, and writes it
                z.writestr("a", b"2")
        cases = {
            "not a zip": b"PK not really an archive",
            "no end record": one[:-22],
            "central directory cut": one[:-40] + one[-22:],
            "one name twice": twice.getvalue(),
        }
        for label, data in cases.items():
            with self.subTest(case=label):
                with self.assertRaises((zip_canonical.Invalid, struct.error)):
                    zip_canonical.canonical(data, EPOCH)

    def test_command_line_rewrites_in_place(self):
        tool = os.path.join(os.path.dirname(zip_canonical.__file__), "zip_canonical.py")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "a.zip")
            with open(path, "wb") as f:
                f.write(make(list(FILES)[::-1], (2020, 1, 1, 0, 0, 0), UT_UX))
            subprocess.run([sys.executable, tool, path, str(EPOCH)], check=True)
            with open(path, "rb") as f:
                self.assertEqual(zip_canonical.canonical(
                    make(list(FILES), (2000, 1, 1, 0, 0, 0)), EPOCH), f.read())
            with open(path, "wb") as f:
                f.write(b"nothing")
            bad = subprocess.run([sys.executable, tool, path, str(EPOCH)],
                                 capture_output=True, text=True)
            self.assertEqual(1, bad.returncode)
            self.assertIn("no end of central directory", bad.stderr)


if __name__ == "__main__":
    unittest.main()
