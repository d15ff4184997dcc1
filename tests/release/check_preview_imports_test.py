#!/usr/bin/env python3
"""scripts/check_preview_imports.sh and tools/xp_sp2_exports.txt: small
Windows programs built here pass when they import only what the list allows
and fail, naming the DLL and the function, when they import a function
Windows XP does not have, one the list does not name, or from a DLL the list
does not name. The list itself: nothing both allowed and missing, the
preview's own needs present, and every msvcrt name one that mingw-w64's
msvcrt import library knows.

MINGW_CXX names the i686 MinGW-w64 C++ compiler (default
i686-w64-mingw32-g++), OBJDUMP the PE objdump (default
i686-w64-mingw32-objdump); the tests that build programs are skipped
without them."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
source = os.path.normpath(os.path.join(here, "..", ".."))
CHECK = os.path.join(source, "scripts", "check_preview_imports.sh")
LIST = os.path.join(source, "tools", "xp_sp2_exports.txt")
CXX = os.environ.get("MINGW_CXX", "i686-w64-mingw32-g++")
OBJDUMP = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")
MSVCRT_LIB = "/usr/i686-w64-mingw32/lib/libmsvcrt-os.a"


def read_list(path=LIST):
    """{DLL (upper case): (allowed names, names missing from XP)}."""
    groups = {}
    dll = None
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("["):
                dll = line[1:-1].upper()
                groups.setdefault(dll, (set(), set()))
            elif line.startswith("!"):
                groups[dll][1].add(line[1:])
            else:
                groups[dll][0].add(line)
    return groups


class TheList(unittest.TestCase):
    def test_nothing_is_both_allowed_and_missing(self):
        for dll, (allowed, missing) in read_list().items():
            self.assertEqual(allowed & missing, set(), dll)

    def test_vista_functions_are_not_allowed(self):
        allowed, missing = read_list()["KERNEL32.DLL"]
        for name in ("GetTickCount64", "FlsAlloc", "InitializeSRWLock",
                     "InitializeConditionVariable", "InitOnceExecuteOnce",
                     "CreateSymbolicLinkW", "GetFinalPathNameByHandleW"):
            self.assertNotIn(name, allowed)
            self.assertIn(name, missing)

    def test_the_dlls_are_the_four(self):
        self.assertEqual(sorted(read_list()),
                         ["ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"])

    @unittest.skipUnless(os.path.isfile(MSVCRT_LIB) and shutil.which("i686-w64-mingw32-nm"),
                         "no mingw-w64 i686 msvcrt import library")
    def test_msvcrt_names_are_in_the_import_library(self):
        symbols = subprocess.run(["i686-w64-mingw32-nm", MSVCRT_LIB], capture_output=True,
                                 text=True, check=True).stdout
        # "__imp__" + the name, with "@N" for the few stdcall ones.
        known = {m.group(1) for m in re.finditer(r" I __imp__(\S+?)(?:@\d+)?$", symbols, re.M)}
        allowed, _ = read_list()["MSVCRT.DLL"]
        self.assertGreater(len(allowed), 700)
        self.assertEqual(sorted(allowed - known), [])


@unittest.skipUnless(shutil.which(CXX) and shutil.which(OBJDUMP), "no %s or %s" % (CXX, OBJDUMP))
class BuiltPrograms(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def build(self, body, libraries=()):
        """A console program whose main is body, linked as the preview is."""
        src = os.path.join(self.dir.name, "program.cc")
        exe = os.path.join(self.dir.name, "program.exe")
        with open(src, "w") as f:
            f.write('#include <windows.h>\n#include <stdio.h>\n'
                    'extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);\n'
                    'extern "C" __declspec(dllimport) int WINAPI WSAGetLastError(void);\n'
                    'int main(int argc, char**) {\n%s\n}\n' % body)
        subprocess.run([CXX, "-O1", "-static", "-s", src, "-o", exe] + list(libraries),
                       check=True, capture_output=True)
        return exe

    def check(self, exe, path=LIST):
        run = subprocess.run(["sh", CHECK, exe, path], capture_output=True, text=True,
                             env=dict(os.environ, OBJDUMP=OBJDUMP))
        return run.returncode, run.stdout + run.stderr

    def test_allowed_imports_pass(self):
        status, output = self.check(self.build(
            'printf("%lu\\n", (unsigned long)GetLastError()); return argc;'))
        self.assertEqual(status, 0, output)
        self.assertIn("all exported by Windows XP SP2", output)

    def test_a_vista_function_fails(self):
        status, output = self.check(self.build(
            'printf("%lu\\n", (unsigned long)GetTickCount64()); return 0;'))
        self.assertEqual(status, 1, output)
        self.assertIn("imports GetTickCount64 from KERNEL32.dll, which Windows XP SP2 "
                      "does not have", output)

    def test_a_function_off_the_list_fails(self):
        # GetComputerNameW is in XP, but nobody has checked it in.
        status, output = self.check(self.build(
            'WCHAR name[64]; DWORD size = 64; return GetComputerNameW(name, &size);'))
        self.assertEqual(status, 1, output)
        self.assertIn("imports GetComputerNameW from KERNEL32.dll, which is not on the "
                      "Windows XP SP2 list", output)

    def test_a_dll_off_the_list_fails(self):
        status, output = self.check(self.build('return WSAGetLastError();', ["-lws2_32"]))
        self.assertEqual(status, 1, output)
        self.assertRegex(output, r"imports WSAGetLastError from (?i:ws2_32\.dll), a DLL not "
                                 r"on the Windows XP SP2 list")

    def test_a_list_allowing_a_missing_function_fails(self):
        broken = os.path.join(self.dir.name, "list.txt")
        with open(LIST) as f:
            text = f.read()
        with open(broken, "w") as f:
            f.write(text.replace("[KERNEL32.dll]\n", "[KERNEL32.dll]\nGetTickCount64\n", 1))
        status, output = self.check(self.build('return (int)GetLastError();'), broken)
        self.assertEqual(status, 1, output)
        self.assertIn("GetTickCount64 from KERNEL32.DLL is both allowed and missing", output)


if __name__ == "__main__":
    unittest.main()
