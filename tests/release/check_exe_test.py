#!/usr/bin/env python3
"""scripts/check_exe.sh: a built launcher.exe passes, and copies of it with
one fault each fail, naming the fault: a section writable and executable,
BaseOfCode 0 or off the code section, a CMOV or an SSE instruction in the
code. The same for KIT.EXE under --kit, and for its own profile: an import
off its list, the GUI subsystem, a resource directory.

LAUNCHER_EXE and KIT_EXE name the programs to copy; when neither is set,
build/win32/launcher.exe and build/win32/KIT.EXE, each skipped when there
is none; when one is set, only that program is checked. The linker's map
(launcher.map, KIT.map) is used when it lies beside the program. OBJDUMP
names the PE objdump (default i686-w64-mingw32-objdump)."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
source = os.path.normpath(os.path.join(here, "..", ".."))
CHECK = os.path.join(source, "scripts", "check_exe.sh")
BUILT = os.path.join(source, "build", "win32")
NAMED = "LAUNCHER_EXE" in os.environ or "KIT_EXE" in os.environ
EXE = os.environ.get("LAUNCHER_EXE", "" if NAMED else os.path.join(BUILT, "launcher.exe"))
KIT_EXE = os.environ.get("KIT_EXE", "" if NAMED else os.path.join(BUILT, "KIT.EXE"))
OBJDUMP = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")

SCN_MEM_WRITE = 0x80000000


def headers(data):
    """(offset of the optional header, [(offset of the section header, name,
    rva, raw offset)])."""
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    sections, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    table = optional + optional_size
    found = []
    for i in range(sections):
        at = table + 40 * i
        name = data[at:at + 8].rstrip(b"\0").decode("ascii")
        rva, = struct.unpack_from("<I", data, at + 12)
        raw, = struct.unpack_from("<I", data, at + 20)
        found.append((at, name, rva, raw))
    return optional, found


def code_section(data):
    optional, sections = headers(data)
    entry, = struct.unpack_from("<I", data, optional + 16)
    # The section the entry point lies in: the one that starts last at or
    # before it.
    return max((s for s in sections if s[2] <= entry), key=lambda s: s[2])


class Checks:
    """The faults every program built like launcher.exe must be refused
    for; a subclass names the program, its map and check_exe's options."""
    EXE = ""
    NAME = ""
    MAP = ""
    OPTIONS = []

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        with open(self.EXE, "rb") as f:
            self.data = bytearray(f.read())
        built_map = os.path.join(os.path.dirname(self.EXE), self.MAP)
        if os.path.isfile(built_map):
            shutil.copy(built_map, os.path.join(self.dir.name, self.MAP))

    def check(self, data):
        path = os.path.join(self.dir.name, self.NAME)
        with open(path, "wb") as f:
            f.write(data)
        run = subprocess.run(["sh", CHECK] + self.OPTIONS + [path], capture_output=True,
                             text=True, env=dict(os.environ, OBJDUMP=OBJDUMP))
        return run.returncode, run.stdout + run.stderr

    def assertFails(self, data, *messages):
        status, output = self.check(data)
        self.assertEqual(status, 1, output)
        for message in messages:
            self.assertIn(message, output)

    def test_the_built_program_passes(self):
        status, output = self.check(self.data)
        self.assertEqual(status, 0, output)
        self.assertIn("no writable code", output)

    def test_a_writable_code_section_fails(self):
        at, name, _, _ = code_section(self.data)
        flags, = struct.unpack_from("<I", self.data, at + 36)
        struct.pack_into("<I", self.data, at + 36, flags | SCN_MEM_WRITE)
        self.assertFails(self.data, "section %s is writable and executable" % name)

    def test_base_of_code_zero_fails(self):
        optional, _ = headers(self.data)
        struct.pack_into("<I", self.data, optional + 20, 0)
        self.assertFails(self.data, "BaseOfCode is 0x0, but the code section")

    def test_base_of_code_elsewhere_fails(self):
        optional, _ = headers(self.data)
        _, _, rva, _ = code_section(self.data)
        struct.pack_into("<I", self.data, optional + 20, rva + 0x1000)
        self.assertFails(self.data, "BaseOfCode is %#x" % (rva + 0x1000))

    def patch_code(self, instruction):
        """The first bytes of the code section replaced: the start of the
        section is the start of an instruction."""
        _, _, _, raw = code_section(self.data)
        self.data[raw:raw + len(instruction)] = instruction

    def test_cmov_fails(self):
        self.patch_code(b"\x0f\x44\xc1")  # cmove %ecx,%eax
        self.assertFails(self.data, "a 386 lacks", "cmove %ecx,%eax")

    def test_sse_fails(self):
        self.patch_code(b"\x0f\x28\xc1")  # movaps %xmm1,%xmm0
        self.assertFails(self.data, "%xmm")

    def test_cpuid_fails(self):
        self.patch_code(b"\x0f\xa2")
        self.assertFails(self.data, "cpuid")


@unittest.skipUnless(os.path.isfile(EXE), "no launcher.exe at %r" % EXE)
@unittest.skipUnless(shutil.which(OBJDUMP), "no %s" % OBJDUMP)
class CheckLauncher(Checks, unittest.TestCase):
    EXE = EXE
    NAME = "launcher.exe"
    MAP = "launcher.map"


def optional_header(data):
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    return pe + 24


@unittest.skipUnless(os.path.isfile(KIT_EXE), "no KIT.EXE at %r" % KIT_EXE)
@unittest.skipUnless(shutil.which(OBJDUMP), "no %s" % OBJDUMP)
class CheckKit(Checks, unittest.TestCase):
    EXE = KIT_EXE
    NAME = "KIT.EXE"
    MAP = "KIT.map"
    OPTIONS = ["--kit"]

    def test_the_built_program_is_a_console_program_without_resources(self):
        status, output = self.check(self.data)
        self.assertEqual(status, 0, output)
        self.assertIn("PE32 console 4.0", output)
        self.assertIn("no resources", output)

    def test_an_import_off_the_kit_list_fails(self):
        # Same length, so the import tables stay as they are.
        at = self.data.find(b"GetLocalTime\0")
        self.assertGreater(at, 0)
        self.data[at:at + 12] = b"GetTickCount"
        self.assertFails(self.data, "imports GetTickCount from KERNEL32.DLL")

    def test_the_gui_subsystem_fails(self):
        struct.pack_into("<H", self.data, optional_header(self.data) + 68, 2)
        self.assertFails(self.data, "Subsystem is '00000002', expected 00000003")

    def test_a_resource_directory_fails(self):
        # Data directory 2, 96 bytes into a PE32 optional header.
        struct.pack_into("<II", self.data, optional_header(self.data) + 96 + 16, 0x5000, 0x40)
        self.assertFails(self.data, "a resource directory at 0x5000")

    def test_the_launcher_profile_refuses_it(self):
        self.OPTIONS = []
        self.assertFails(self.data, "expected 00000002", "not on the allowed list")


if __name__ == "__main__":
    unittest.main()
