#!/usr/bin/env python3
"""Checks a built release archive: exactly launcher.exe, launcher-preview.exe,
KIT.EXE, README.txt and SHA256SUMS; the programs are the build's; README.txt
is what tools/admin_readme.py makes of README.md and docs/administrators.md
(beside it); SHA256SUMS holds the right
hash of each of the other four. Prints the contents, or the problems and exits 1.

Usage: check_archive.py ARCHIVE BUILD_DIR README.md VERSION
"""
import hashlib
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import admin_readme  # noqa: E402

PROGRAMS = ["launcher.exe", "launcher-preview.exe", "KIT.EXE"]
SUMMED = PROGRAMS + ["README.txt"]


def problems(archive, build_dir, readme, version):
    found = []
    with zipfile.ZipFile(archive) as z:
        names = [info.filename for info in z.infolist()]
        expected = sorted(SUMMED + ["SHA256SUMS"])
        if names != expected:
            return ["entries %s, expected %s" % (names, expected)]
        if z.testzip() is not None:
            found.append("a CRC does not match")
        data = {name: z.read(name) for name in names}
    for name in PROGRAMS:
        with open(os.path.join(build_dir, name), "rb") as f:
            if f.read() != data[name]:
                found.append("%s is not the build's" % name)
    guide = os.path.join(os.path.dirname(os.path.abspath(readme)), "docs", "administrators.md")
    with open(readme, encoding="utf-8") as f, open(guide, encoding="utf-8") as g:
        if admin_readme.admin_readme(f.read(), g.read(), version).encode("ascii") != data["README.txt"]:
            found.append("README.txt is not made from README.md")
    sums = "".join("%s  %s\n" % (hashlib.sha256(data[name]).hexdigest(), name)
                   for name in SUMMED)
    if data["SHA256SUMS"].decode("ascii", "replace") != sums:
        found.append("SHA256SUMS does not hold the files' hashes")
    return found


def main():
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__.split("\n\n")[-1] + "\n")
        return 2
    archive, build_dir, readme, version = sys.argv[1:]
    found = problems(archive, build_dir, readme, version)
    for problem in found:
        sys.stderr.write("check_archive: %s: %s\n" % (os.path.basename(archive), problem))
    if found:
        return 1
    with zipfile.ZipFile(archive) as z:
        print("%s: %s" % (os.path.basename(archive), ", ".join(
            "%s (%d bytes)" % (i.filename, i.file_size) for i in z.infolist())))
    return 0


if __name__ == "__main__":
    sys.exit(main())
