#!/usr/bin/env python3
"""Checks launcher.exe.

check_pe.py launcher.exe
    The resources: exactly one icon group, 101, whose four images are 16x16
    and 32x32 at 4 and 8 bits per pixel, and no other resource. Prints a
    short description.

check_pe.py --no-resources KIT.EXE
    No resource directory at all. Prints "no resources".

check_pe.py --layout launcher.exe [launcher.map]
    The sections: none both writable and executable, and BaseOfCode the RVA
    of the section holding the entry point, which must be executable.
    Prints what to disassemble, one line per executable section:
    "NAME START STOP" (virtual addresses, hex); with the linker's map only
    the code at the start of the section, without it the whole section.

On failure prints the reasons to stderr and exits 1.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_layout  # noqa: E402

RT_ICON = 3
RT_GROUP_ICON = 14
SCN_CNT_CODE = 0x00000020
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
ICON_GROUP_ID = 101
EXPECTED_IMAGES = {(16, 16, 4), (16, 16, 8), (32, 32, 4), (32, 32, 8)}


class Invalid(Exception):
    pass


def unpack(fmt, data, offset):
    try:
        return struct.unpack_from(fmt, data, offset)
    except struct.error:
        raise Invalid("truncated at offset %#x" % offset)


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise Invalid("no MZ header")
        (pe,) = unpack("<I", data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise Invalid("no PE signature")
        _, sections, _, _, _, optional_size, _ = unpack("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        (magic,) = unpack("<H", data, optional)
        if magic != 0x10B:
            raise Invalid("not PE32")
        self.entry, self.base_of_code = unpack("<II", data, optional + 16)
        (self.image_base,) = unpack("<I", data, optional + 28)
        # Data directories start 96 bytes into a PE32 optional header.
        self.resource_rva, self.resource_size = unpack("<II", data, optional + 96 + 2 * 8)
        self.sections = []
        # (name, rva, virtual size, characteristics) of each section.
        self.headers = []
        table = optional + optional_size
        for i in range(sections):
            at = table + 40 * i
            (virtual_size, rva, raw_size, raw_offset) = unpack("<IIII", data, at + 8)
            (flags,) = unpack("<I", data, at + 36)
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))
            self.headers.append((name, rva, virtual_size or raw_size, flags))

    def offset(self, rva, size=1):
        for start, length, raw_offset, raw_size in self.sections:
            if start <= rva and rva + size <= start + length:
                if rva - start + size > raw_size:
                    raise Invalid("RVA %#x lies outside the file" % rva)
                return raw_offset + rva - start
        raise Invalid("RVA %#x is in no section" % rva)

    def bytes_at(self, rva, size):
        start = self.offset(rva, size)
        return self.data[start:start + size]


def directory(image, base, offset):
    """The entries of one resource directory: [(id or name, offset, is_dir)]."""
    at = image.offset(base + offset, 16)
    named, numbered = unpack("<HH", image.data, at + 12)
    entries = []
    for i in range(named + numbered):
        name, target = unpack("<II", image.data, at + 16 + 8 * i)
        key = ("name@%#x" % (name & 0x7FFFFFFF)) if name & 0x80000000 else name
        entries.append((key, target & 0x7FFFFFFF, bool(target & 0x80000000)))
    return entries


def leaf(image, base, offset):
    """The data of a name entry: it must hold exactly one language."""
    languages = directory(image, base, offset)
    if len(languages) != 1 or languages[0][2]:
        raise Invalid("a resource with %d languages" % len(languages))
    rva, size, _, _ = unpack("<IIII", image.data, image.offset(base + languages[0][1], 16))
    return image.bytes_at(rva, size)


def check(path):
    with open(path, "rb") as f:
        image = Image(f.read())
    base = image.resource_rva
    if base == 0:
        raise Invalid("no resources")
    types = {}
    for key, offset, is_dir in directory(image, base, 0):
        if not is_dir:
            raise Invalid("malformed resource type %r" % (key,))
        types[key] = offset
    problems = []
    extra = sorted(str(t) for t in types if t not in (RT_ICON, RT_GROUP_ICON))
    if extra:
        problems.append("resource types other than icons: %s" % ", ".join(extra))
    if RT_GROUP_ICON not in types or RT_ICON not in types:
        raise Invalid("no icon group or no icon images")

    try:
        return check_icon(image, base, types, problems)
    except Invalid as fatal:
        raise Invalid("; ".join(problems + [str(fatal)]))


def check_no_resources(path):
    """A program that needs no resources must carry none: no resource
    directory, and no section of that name."""
    with open(path, "rb") as f:
        image = Image(f.read())
    problems = []
    if image.resource_rva != 0 or image.resource_size != 0:
        problems.append("a resource directory at %#x (%d bytes), expected none"
                        % (image.resource_rva, image.resource_size))
    if any(name == ".rsrc" for name, _, _, _ in image.headers):
        problems.append("a .rsrc section, expected none")
    if problems:
        raise Invalid("; ".join(problems))
    return "no resources"


def check_icon(image, base, types, problems):
    groups = directory(image, base, types[RT_GROUP_ICON])
    if [g[0] for g in groups] != [ICON_GROUP_ID]:
        raise Invalid("icon groups %s, expected only %d"
                      % ([g[0] for g in groups], ICON_GROUP_ID))
    icons = {key: offset for key, offset, _ in directory(image, base, types[RT_ICON])}

    group = leaf(image, base, groups[0][1])
    reserved, kind, count = unpack("<HHH", group, 0)
    if reserved != 0 or kind != 1:
        raise Invalid("icon group %d is not an icon directory" % ICON_GROUP_ID)
    found = []
    used = set()
    for i in range(count):
        width, height, colours, _, planes, bits, size, icon_id = unpack(
            "<BBBBHHIH", group, 6 + 14 * i)
        width, height = width or 256, height or 256
        if icon_id not in icons:
            raise Invalid("icon group names image %d, which is missing" % icon_id)
        used.add(icon_id)
        data = leaf(image, base, icons[icon_id])
        header = unpack("<IiiHHIIiiII", data, 0)
        if header[0] != 40:
            problems.append("image %d is not a BITMAPINFOHEADER image" % icon_id)
            continue
        b_width, b_height, b_planes, b_bits = header[1:5]
        row = ((b_width * b_bits + 31) // 32) * 4
        mask_row = ((b_width + 31) // 32) * 4
        expected = 40 + 4 * (1 << b_bits) + (row + mask_row) * (b_height // 2)
        if (b_width, b_height // 2, b_bits) != (width, height, bits) or b_planes != 1:
            problems.append("image %d: the group says %dx%d at %d bpp, the bitmap %dx%d at %d bpp"
                            % (icon_id, width, height, bits, b_width, b_height // 2, b_bits))
        if b_height != 2 * b_width:
            problems.append("image %d: bitmap height is not twice the width" % icon_id)
        if len(data) != size or len(data) != expected:
            problems.append("image %d: %d bytes, group says %d, bitmap needs %d"
                            % (icon_id, len(data), size, expected))
        if colours != (16 if bits == 4 else 0):
            problems.append("image %d: colour count %d for %d bpp" % (icon_id, colours, bits))
        found.append((width, height, bits))
    if sorted(found) != sorted(EXPECTED_IMAGES):
        problems.append("icon %d has images %s, expected 16x16 and 32x32 at 4 and 8 bpp"
                        % (ICON_GROUP_ID, ", ".join("%dx%dx%d" % f for f in found)))
    stray = sorted(set(icons) - used, key=str)
    if stray:
        problems.append("icon images outside group %d: %s" % (ICON_GROUP_ID, stray))
    if problems:
        raise Invalid("; ".join(problems))
    return "icon %d (%s)" % (ICON_GROUP_ID, " ".join("%dx%dx%d" % f for f in found))


def executable(flags):
    return bool(flags & (SCN_MEM_EXECUTE | SCN_CNT_CODE))


def layout(path, map_path=None):
    """[(name, start, stop)] to disassemble; raises Invalid with every
    problem of the section table and BaseOfCode."""
    with open(path, "rb") as f:
        image = Image(f.read())
    problems = []
    for name, rva, size, flags in image.headers:
        if flags & SCN_MEM_WRITE and executable(flags):
            problems.append("section %s is writable and executable (characteristics %#010x)"
                            % (name, flags))
    code = [h for h in image.headers if h[1] <= image.entry < h[1] + h[2]]
    if not code:
        problems.append("the entry point %#x lies in no section" % image.entry)
    else:
        name, rva, _, flags = code[0]
        if not executable(flags):
            problems.append("the entry point's section %s is not executable" % name)
        if image.base_of_code != rva:
            problems.append("BaseOfCode is %#x, but the code section %s starts at %#x"
                            % (image.base_of_code, name, rva))
    ranges = []
    for name, rva, size, flags in image.headers:
        if not executable(flags):
            continue
        start = image.image_base + rva
        stop = start + size
        if map_path is not None:
            # The code comes first; constants and imports follow it and
            # would only disassemble into noise.
            pieces = pe_layout.map_pieces(map_path, [(start, stop)])
            mapped = sum(length for _, _, length in pieces)
            if mapped != size:
                problems.append("the map accounts for %d of the %d bytes of %s: not this image's"
                                % (mapped, size, name))
            code_ends = [at + length for part, at, length in pieces if part == "code"]
            if code_ends:
                stop = max(code_ends)
        ranges.append((name, start, stop))
    if problems:
        raise Invalid("\n".join(problems))
    return ranges


def main():
    args = sys.argv[1:]
    if args[:1] == ["--layout"] and len(args) in (2, 3):
        try:
            for name, start, stop in layout(*args[1:]):
                print("%s %#x %#x" % (name, start, stop))
        except (Invalid, OSError) as problem:
            # One line for each problem.
            sys.stderr.write("".join("sections: %s\n" % line for line in str(problem).split("\n")))
            return 1
        return 0
    if args[:1] == ["--no-resources"] and len(args) == 2:
        try:
            print(check_no_resources(args[1]))
        except (Invalid, OSError) as problem:
            sys.stderr.write("resources: %s\n" % problem)
            return 1
        return 0
    if len(args) != 1:
        sys.stderr.write("usage: check_pe.py [--layout | --no-resources] launcher.exe [launcher.map]\n")
        return 2
    try:
        print(check(args[0]))
    except (Invalid, OSError) as problem:
        sys.stderr.write("resources: %s\n" % problem)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
