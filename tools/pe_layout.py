#!/usr/bin/env python3
"""Where the bytes of launcher.exe go: headers, code, constants, imports,
the icon and the padding that rounds every part up to a file block.

The sections come from the image; which bytes of a section are code,
constants or imports comes from the linker's map (the win32 build writes
build/win32/launcher.map beside the program). Without a map only the
sections are shown, and the import address table that shares the icon's
section. tools/check_pe.py reads the map here too, to find where the code
ends.

Usage: pe_layout.py launcher.exe [launcher.map]
"""
import re
import struct
import sys

RT_ICON = 3
RT_GROUP_ICON = 14


def kind(input_section):
    """The part an input section of the map belongs to."""
    for prefix, part in ((".text", "code"), (".rdata", "constants"),
                         (".rodata", "constants"), (".idata", "imports"),
                         (".data", "data"), (".bss", "data"), (".rsrc", "icon")):
        if input_section == prefix or input_section.startswith(prefix + "$") \
                or input_section.startswith(prefix + "."):
            return part
    return "other"


ENTRY = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)(?:\s+(.*))?$")
NAMED = re.compile(r"^ (\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)(?:\s+\S.*)?)?\s*$")


def map_pieces(path, ranges):
    """[(part, address, size)] from a GNU ld map, in map order, keeping only
    what lies inside the image's sections (discarded input sections sit at
    address 0). A fill or a LONG belongs to the part of the input before it."""
    pieces = []
    last = "other"
    pending = None

    def add(name, address, size):
        nonlocal last
        if size == 0 or not any(lo <= address < hi for lo, hi in ranges):
            return
        if name is None:  # LONG, or a fill
            part = last
        else:
            part = kind(name)
            last = part
        pieces.append((part, address, size))

    with open(path) as f:
        lines = f.read().split("\n")
    started = False
    for line in lines:
        if line.startswith("Linker script and memory map"):
            started = True
            continue
        if not started:
            continue
        named = NAMED.match(line)
        if named and not line.startswith("  "):
            name = named.group(1)
            if name == "*fill*":
                add(None, int(named.group(2), 16), int(named.group(3), 16))
                pending = None
            elif named.group(2) is not None:
                add(name, int(named.group(2), 16), int(named.group(3), 16))
                pending = None
            elif name.startswith("."):
                pending = name
            continue
        entry = ENTRY.match(line)
        if entry is None:
            continue
        rest = entry.group(3) or ""
        address, size = int(entry.group(1), 16), int(entry.group(2), 16)
        if rest.startswith("LONG") or rest.startswith("SHORT") or rest.startswith("BYTE"):
            add(None, address, size)
        elif pending is not None and rest and not rest.startswith("="):
            add(pending, address, size)
            pending = None
    return pieces


class Image:
    def __init__(self, data):
        self.data = data
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        sections, = struct.unpack_from("<H", data, pe + 6)
        optional_size, = struct.unpack_from("<H", data, pe + 20)
        optional = pe + 24
        self.image_base, = struct.unpack_from("<I", data, optional + 28)
        self.file_alignment, = struct.unpack_from("<I", data, optional + 36)
        self.size_of_headers, = struct.unpack_from("<I", data, optional + 60)
        self.resource_rva, _ = struct.unpack_from("<II", data, optional + 96 + 2 * 8)
        self.iat = struct.unpack_from("<II", data, optional + 96 + 12 * 8)
        table = optional + optional_size
        self.headers_used = table + 40 * sections
        self.sections = []
        for i in range(sections):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, rva, virtual_size, raw_size, raw_offset))

    def offset(self, rva):
        for _, start, virtual_size, raw_size, raw_offset in self.sections:
            if start <= rva < start + max(virtual_size, raw_size):
                return raw_offset + rva - start
        raise ValueError("RVA %#x is in no section" % rva)

    def icon_parts(self):
        """Bytes of the icon images, of the group directory, and of the
        resource directory tables and entries (the rest of the section)."""
        if self.resource_rva == 0:
            return 0, 0
        base = self.offset(self.resource_rva)
        images = group = 0

        def entries(at):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield name, target

        def leaves(target):
            if target & 0x80000000:
                for _, below in entries(base + (target & 0x7FFFFFFF)):
                    yield from leaves(below)
            else:
                _, size = struct.unpack_from("<II", self.data, base + target)
                yield size

        for type_id, target in entries(base):
            total = sum(leaves(target))
            if type_id == RT_ICON:
                images += total
            elif type_id == RT_GROUP_ICON:
                group += total
        return images, group


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write("usage: pe_layout.py launcher.exe [launcher.map]\n")
        return 2
    with open(sys.argv[1], "rb") as f:
        image = Image(f.read())
    file_size = len(image.data)
    rows = [("headers", image.headers_used,
             "%d bytes of headers in a %d-byte block" % (image.headers_used, image.size_of_headers))]
    sections = []
    contents = []
    for name, rva, virtual_size, raw_size, raw_offset in image.sections:
        content = min(virtual_size, raw_size) if virtual_size else raw_size
        sections.append("%s: %d bytes in %d" % (name, content, raw_size))
        contents.append((name, rva, content))
    resource_section = None
    for name, rva, content in contents:
        if rva <= image.resource_rva < rva + content:
            resource_section = name
    images, group = image.icon_parts()
    if len(sys.argv) == 3:
        # Bytes per part and section, from the map.
        split = {}
        for name, rva, content in contents:
            start = image.image_base + rva
            for part, _, size in map_pieces(sys.argv[2], [(start, start + content)]):
                split.setdefault(part, {})
                split[part][name] = split[part].get(name, 0) + size
        # Every byte of the sections must be accounted for by the map; a
        # map this script misreads would otherwise show as padding.
        mapped = sum(sum(where.values()) for where in split.values())
        content = sum(c for _, _, c in contents)
        if mapped != content:
            sys.stderr.write("pe_layout: the map accounts for %d bytes of sections holding %d\n"
                             % (mapped, content))
            return 1
        for part in ("code", "constants", "imports", "data", "other"):
            where = split.get(part)
            if where:
                # A part spread over sections says how.
                note = ", ".join("%d in %s" % (size, name) for name, size in where.items()) \
                    if len(where) > 1 else ""
                rows.append((part, sum(where.values()), note))
        resources = sum(split.get("icon", {}).values())
    else:
        # Without a map: each section whole, but the icon's section less
        # the import address table that may share it.
        iat_rva, iat_size = image.iat
        resources = 0
        for name, rva, content in contents:
            if name != resource_section:
                rows.append((name, content, "section"))
                continue
            iat = iat_size if rva <= iat_rva < rva + content else 0
            if iat:
                rows.append(("IAT", iat, "import address table in %s" % name))
            resources = content - iat
    rows.append(("icon", resources,
                 "images %d, group directory %d, resource directory %d"
                 % (images, group, resources - images - group)))
    used = sum(row[1] for row in rows)
    rows.append(("padding", file_size - used, "to %d-byte file blocks" % image.file_alignment))
    rows.append(("total", file_size, "; ".join(sections)))
    for name, size, note in rows:
        print("%-10s %6d  %s" % (name, size, note))
    return 0


if __name__ == "__main__":
    sys.exit(main())
