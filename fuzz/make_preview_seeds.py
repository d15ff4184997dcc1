#!/usr/bin/env python3
"""Writes the seed corpora of the preview's fuzz targets into fuzz/corpus/:
reg_reader (.reg files), ver_txt (what "ver" prints) and preview_plan (a
header, a tail and one or two .reg files; layout in preview_plan.cc).

The .reg seeds are exports of the launcher's keys (preview/exports/exports.h) as
regedit writes them: REGEDIT4 in the machine's code page on 9x, version 5 in
UTF-16LE with its mark on 2000 and XP, and UTF-8 with its mark as some tools
save them; with every value form, deletions, comments, keys of other roots
and a final Ctrl-Z."""
import struct

from make_seeds import write_corpus

V4 = "REGEDIT4"
V5 = "Windows Registry Editor Version 5.00"
HKLM = "HKEY_LOCAL_MACHINE"
HKCU = "HKEY_CURRENT_USER"
CLASS = (r"SYSTEM\CurrentControlSet\Control\Class"
         r"\{4D36E972-E325-11CE-BFC1-08002BE10318}")


def text(header, keys, ending="\r\n"):
    """A .reg text: keys as (key line, [value lines]), blank line before each."""
    lines = [header]
    for key, values in keys:
        lines += ["", "[%s]" % key] + values
    return ending.join(lines) + ending + ending


def hex_lines(name, kind, data):
    """A value of hex data wrapped as regedit wraps it (about 77 columns)."""
    head = '"%s"=%s:' % (name, kind) if name else "@=%s:" % kind
    out, line = [], head
    for i, b in enumerate(data):
        line += "%02x" % b
        if i + 1 < len(data):
            line += ","
            if len(line) >= 76:
                out.append(line + "\\")
                line = "  "
    out.append(line)
    return out


def utf16(s):
    return b"\xff\xfe" + s.encode("utf-16-le")


def utf8(s):
    return b"\xef\xbb\xbf" + s.encode("utf-8")


CORVANE = [
    (HKLM + r"\SOFTWARE\Corvane", []),
    (HKLM + r"\SOFTWARE\Corvane\Corvane Client Installation Program",
     ['"GinaInstallOption"="1"', '"SilentLeapOption"="1"',
      '"wModeSelect"=dword:0000000c']),
    (HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
     ['"GinaInstallOption"="0"', '"XRStatus"="1"', '"SilentLeapOption"=""',
      '"wModeSelect"=dword:0000000d']),
]
INSTUSER = [
    (HKCU + r"\Software\VERDO Installer", []),
    (HKCU + r"\Software\VERDO Installer\Setting",
     ['"InstallOption"="Install Driver Only"']),
]
INSTMACH = [
    (HKLM + r"\Software\VERDO Installer\Setting",
     ['"InstallOption"="Full"']),
]
MARKER = [(HKLM + r"\Software\setup install", [])]
ADAPTERS = [
    (HKLM + "\\" + CLASS, []),
    (HKLM + "\\" + CLASS + r"\0000",
     [r'"ComponentId"="PCI\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A"',
      '"DriverDesc"="Corvane Wireless LAN Adapter"']),
    (HKLM + "\\" + CLASS + r"\0001",
     [r'"ComponentId"="pci\\ven_fc7a&dev_1002&subsys_0011fc7a"',
      '"writeBlockSize"="0"']),
    (HKLM + "\\" + CLASS + r"\0002",
     [r'"ComponentId"="PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086"']),
]
# Every value form and the reader's corners: escapes, default values,
# hex of several types wrapped over lines, deletions, comments, keys of
# other roots with values, names with ']' and a trailing backslash.
FORMS = [
    (HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
     ['@="default"', r'"quote\"back\\slash"="line\nbreak\r"',
      '"empty"=""', '"dw"=dword:ffffffff', '"bin"=hex:00,01,fe,ff',
      '"none"=hex:', '"gone"=-', '; a comment', '"n"=hex(0):']
     + hex_lines("expand", "hex(2)", b"%\x00S\x00y\x00s\x00%\x00\x00\x00")
     + hex_lines("multi", "hex(7)", "one\0two\0three\0\0".encode("utf-16-le"))
     + hex_lines("big", "hex(ffffffff)", bytes(range(40)))),
    ("HKEY_CLASSES_ROOT\\.reg", ['@="regfile"']),
    ("-" + HKLM + r"\Software\setup install", []),
    (HKCU + "\\Software\\odd]name\\", ['"x"=dword:1']),
    ("HKEY_USERS\\.DEFAULT\\Software", []),
]


def reg_seeds():
    seeds = [
        text(V4, CORVANE).encode("cp1252"),
        text(V4, INSTUSER + MARKER).encode("cp1252"),
        text(V4, [(HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
                   ['"XRStatus"="caf\u00e9"', '"n\u00e4me"="\u00ff"'])]).encode("cp1252"),
        text(V4, FORMS).encode("cp1252"),
        utf16(text(V5, CORVANE)),
        utf16(text(V5, ADAPTERS)),
        utf16(text(V5, FORMS + [(HKCU + "\\Software\\\u65e5\u672c",
                                 ['"\u540d"="\u5024\U0001F600"'])])),
        utf16(text(V4, INSTMACH)),
        utf8(text(V5, INSTUSER + FORMS)),
        utf8(text(V5, [(HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
                        ['"XRStatus"="\u00e9\u65e5\U0001F600"'])])),
        # "copy /a" leaves a Ctrl-Z; a UTF-16 file may end with one byte.
        text(V4, MARKER).encode("cp1252") + b"\x1a",
        utf16(text(V5, MARKER)) + b"\x1a",
        # LF line ends and # comments, as hand-edited files have them.
        text(V5, [(HKLM + r"\SOFTWARE\Corvane", ["# hand-edited", '"a"="b"'])],
             ending="\n").encode("ascii"),
    ]
    return seeds


VER = [
    "\r\nWindows 95. [Version 4.00.950]\r\n\r\n",
    "\r\nWindows 98 [Version 4.10.1998]\r\n\r\n",
    "\r\nWindows 98 [Version 4.10.2222]\r\n\r\n",
    "\r\nWindows Millennium [Version 4.90.3000]\r\n\r\n",
    "\r\nMicrosoft(R) Windows NT(TM)\r\n(C) Copyright 1985-1996 Microsoft Corp.\r\n",
    "\r\nWindows NT Version 4.0  \r\n",
    "\r\nMicrosoft Windows 2000 [Version 5.00.2195]\r\n",
    "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n",
    "\r\nMicrosoft Windows [Version 6.1.7601]\r\n",
    "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n",
    "Microsoft Windows 5.1.2600\r\n",
    "\r\nMicrosoft Windows [Version 12.3.4]\r\n",
    "not a version\r\n",
]


def ver_seeds():
    seeds = [v.encode("ascii") for v in VER]
    seeds.append(utf16(VER[7]))
    seeds.append(VER[7].encode("utf-16-le"))  # cmd /u: no mark
    seeds.append(VER[1].encode("ascii") + b"\x1a")
    seeds.append("\r\nMicrosoft Windows XP [Versi\u00f3n 5.1.2600]\r\n".encode("cp1252"))
    return seeds


def plan_seed(version, flags, names, tail, files, word=0):
    """The header of preview_plan.cc, the tail and the files."""
    tail = tail.encode("cp1252") if isinstance(tail, str) else tail
    first = len(files[0]) if len(files) == 2 else 0
    if len(files) == 2:
        flags |= 4
    header = struct.pack("<BBBBHI", version, flags, names, len(tail), first, word)
    return header + tail + b"".join(files)


# Indexes into KnownVersions (preview/exports/windows_version.cc) and the file names
# of preview/exports/exports.h (5: another name).
V95, V98, VME, VNT4, V2000, VXP, V2003, VISTA, V7, V8, V10, WORD = range(12)
CORV, IMACH, IUSER, ADAPT, MARK, OTHER = range(6)


def plan_seeds():
    return [
        plan_seed(VXP, 0, CORV | ADAPT << 4, "/S /I1",
                  [utf16(text(V5, CORVANE)), utf16(text(V5, ADAPTERS))]),
        plan_seed(V98, 0, IUSER | MARK << 4, "-gina -sl /S /I1",
                  [text(V4, INSTUSER).encode("cp1252"),
                   text(V4, MARKER).encode("cp1252")]),
        plan_seed(V2000, 2, ADAPT, "/S /I3 /wbs", [utf16(text(V5, ADAPTERS))]),
        plan_seed(VME, 0, CORV, "/s /update", [text(V4, CORVANE).encode("cp1252")]),
        plan_seed(VXP, 0, IMACH | IUSER << 4, "/S /UNINSTALL",
                  [utf16(text(V5, INSTMACH)), utf16(text(V5, INSTUSER))]),
        # Code page 932: Shift-JIS bytes in a REGEDIT4 file, UTF-16 text
        # the code page has and lacks.
        plan_seed(V98, 1, CORV, "-wm=12 /S /I2",
                  [text(V4, [(HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
                              ['"XRStatus"="\u65e5\u672c"'])]).encode("cp932")]),
        plan_seed(VXP, 1, CORV | ADAPT << 4, "-XR /S /I1",
                  [utf16(text(V5, [(HKLM + r"\SOFTWARE\Corvane\NLX\Settings",
                                    ['"GinaInstallOption"="\u65e5"',
                                     '"XRStatus"="\u00e9\u20ac"'])])),
                   utf16(text(V5, ADAPTERS))]),
        plan_seed(WORD, 0, OTHER, "/S /I1", [utf16(text(V5, FORMS))], word=0x1DB10106),
        plan_seed(V7, 0, MARK, "", [utf16(text(V5, MARKER))]),
        plan_seed(VXP, 0, CORV, "/S /I1", [b"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\x"]),
    ]


def main():
    for target, seeds in (("reg_reader", reg_seeds()), ("ver_txt", ver_seeds()),
                          ("preview_plan", plan_seeds())):
        write_corpus(target, seeds)


if __name__ == "__main__":
    main()
