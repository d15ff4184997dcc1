#!/usr/bin/env python3
"""Rewrites a zip archive so that its bytes depend on its files' names,
contents and permissions only.

CPack (CMake 3.25) writes the entries in the order the file system lists
the staging folder, and records each file's change time and owner beside
its modification time. Here the entries are put in name order, every
entry gets the one given time (UTC) and no extra fields, and the local
headers carry the sizes and CRC themselves instead of a data descriptor.
The compressed data, the method and the permissions are kept as they are.

Usage: zip_canonical.py ARCHIVE EPOCH
"""
import struct
import sys
import time

LOCAL = 0x04034B50
CENTRAL = 0x02014B50
END = 0x06054B50
DATA_DESCRIPTOR_FLAG = 0x0008


class Invalid(Exception):
    pass


def dos_time(epoch):
    """DOS date and time of a Unix time, in UTC; DOS time starts in 1980."""
    t = time.gmtime(max(epoch, 315532800))
    return ((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2),
            ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday)


def entries(data):
    """Every entry: (name, fields of the central header, compressed data)."""
    end = data.rfind(struct.pack("<I", END))
    if end < 0 or len(data) - end < 22:
        raise Invalid("no end of central directory")
    _, disk, cd_disk, here, count, cd_size, cd_offset, _ = struct.unpack_from(
        "<IHHHHIIH", data, end)
    if disk != 0 or cd_disk != 0 or here != count:
        raise Invalid("a multi-volume archive")
    if 0xFFFFFFFF in (cd_size, cd_offset) or count == 0xFFFF:
        raise Invalid("a zip64 archive")
    found = []
    at = cd_offset
    for _ in range(count):
        fields = struct.unpack_from("<IHHHHHHIIIHHHHHII", data, at)
        (signature, made_by, needed, flags, method, _, _, crc, compressed,
         size, name_length, extra_length, comment_length, _, internal,
         external, offset) = fields
        if signature != CENTRAL:
            raise Invalid("a broken central directory at %#x" % at)
        if 0xFFFFFFFF in (compressed, size, offset):
            raise Invalid("a zip64 entry")
        name = data[at + 46:at + 46 + name_length]
        at += 46 + name_length + extra_length + comment_length
        (local, ) = struct.unpack_from("<I", data, offset)
        if local != LOCAL:
            raise Invalid("no local header for %r" % name)
        local_name, local_extra = struct.unpack_from("<HH", data, offset + 26)
        start = offset + 30 + local_name + local_extra
        found.append((name, dict(made_by=made_by, needed=needed,
                                 flags=flags & ~DATA_DESCRIPTOR_FLAG, method=method,
                                 crc=crc, compressed=compressed, size=size,
                                 internal=internal, external=external),
                      data[start:start + compressed]))
    names = [name for name, _, _ in found]
    if len(set(names)) != len(names):
        raise Invalid("an archive that names one file twice")
    return found


def canonical(data, epoch):
    clock, date = dos_time(epoch)
    out = bytearray()
    central = bytearray()
    listed = sorted(entries(data), key=lambda entry: entry[0])
    for name, f, body in listed:
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", LOCAL, f["needed"], f["flags"], f["method"],
                           clock, date, f["crc"], f["compressed"], f["size"],
                           len(name), 0)
        out += name + body
        central += struct.pack("<IHHHHHHIIIHHHHHII", CENTRAL, f["made_by"], f["needed"],
                               f["flags"], f["method"], clock, date, f["crc"],
                               f["compressed"], f["size"], len(name), 0, 0, 0,
                               f["internal"], f["external"], offset)
        central += name
    directory = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", END, 0, 0, len(listed), len(listed), len(central),
                       directory, 0)
    return bytes(out)


def main():
    if len(sys.argv) != 3 or not sys.argv[2].isdigit():
        sys.stderr.write("usage: zip_canonical.py ARCHIVE EPOCH\n")
        return 2
    path, epoch = sys.argv[1], int(sys.argv[2])
    try:
        with open(path, "rb") as f:
            data = canonical(f.read(), epoch)
    except (Invalid, struct.error) as problem:
        sys.stderr.write("zip_canonical: %s: %s\n" % (path, problem))
        return 1
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
