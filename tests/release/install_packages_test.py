#!/usr/bin/env python3
"""scripts/install-packages.sh against a scripted apt: fake apt-get,
apt-cache, dpkg-query and dpkg first on PATH, each answering as the case
says and logging how it was called. The cases are a mirror in the middle of
a sync as it was met: an update that fails and then works, one that keeps
failing with the indexes there or without them, an install that meets
unmet dependencies until the release's own suite is the target, one that
fails for good, and nothing to do."""
import json
import os
import shutil
import stat
import subprocess
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
script = os.path.normpath(os.path.join(here, "..", "..", "scripts", "install-packages.sh"))

# One program for the four commands, by the name it is called with. The case
# is a JSON file; calls of each command are counted in the state folder.
FAKE = r'''#!/usr/bin/env python3
import json, os, sys
name = os.path.basename(sys.argv[0])
args = sys.argv[1:]
state = os.environ["FAKE_STATE"]
case = json.load(open(os.path.join(state, "case.json")))
with open(os.path.join(state, "calls"), "a") as log:
    log.write(json.dumps([name] + args) + "\n")
count_file = os.path.join(state, name + ".count")
count = int(open(count_file).read()) if os.path.exists(count_file) else 0
open(count_file, "w").write(str(count + 1))

def answer(results):
    """The result of this call: the list's entry, its last one repeated."""
    result = results[min(count, len(results) - 1)]
    sys.stdout.write(result.get("out", ""))
    sys.exit(result["code"])

if name == "dpkg-query":
    package = args[-1]
    if package in case["installed"]:
        sys.stdout.write("install ok installed")
        sys.exit(0)
    sys.stderr.write("dpkg-query: no packages found matching %s\n" % package)
    sys.exit(1)
if name == "dpkg":
    if args == ["--print-foreign-architectures"]:
        sys.stdout.write("".join(a + "\n" for a in case.get("foreign", [])))
    sys.exit(0)
if name == "apt-cache":
    package = args[-1]
    if package in case.get("candidates", {}):
        sys.stdout.write("%s:\n  Installed: (none)\n  Candidate: %s\n" %
                         (package, case["candidates"][package]))
    sys.exit(0)
if name == "apt-get":
    if args[0] == "update":
        answer(case["update"])
    target = args[args.index("-t") + 1] if "-t" in args else None
    answer(case["install_target" if target == "bookworm" else "install"])
sys.exit(3)
'''

MIRROR_SYNC = ("E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/"
               "main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). "
               "Mirror sync in progress?\n")
UNMET = ("Some packages could not be installed.\n"
         "The following packages have unmet dependencies:\n"
         " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4+deb12u1) but 8.0~repack-4 is "
         "to be installed\n"
         "E: Unable to correct problems, you have held broken packages.\n")
OK = {"code": 0}
FAILS = {"code": 100, "out": MIRROR_SYNC}
PACKAGES = ["nasm", "wine32:i386", "dosbox"]
UPDATE = ["apt-get", "update", "-qq"]


def install(*options):
    return ["apt-get", "install", "-y", "-qq", "--no-install-recommends", *options,
            "wine32:i386", "dosbox"]


class InstallPackagesTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="install-packages-test-")
        self.bin = os.path.join(self.work, "bin")
        os.mkdir(self.bin)
        for name in ("apt-get", "apt-cache", "dpkg-query", "dpkg"):
            path = os.path.join(self.bin, name)
            with open(path, "w") as f:
                f.write(FAKE)
            os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        self.os_release = os.path.join(self.work, "os-release")
        with open(self.os_release, "w") as f:
            f.write('PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"\nVERSION_CODENAME=bookworm\n')

    def tearDown(self):
        shutil.rmtree(self.work)

    def run_case(self, case):
        """Runs the script on PACKAGES; its exit code, stderr and the apt-get
        calls, each as its argument list."""
        case.setdefault("installed", ["nasm"])
        with open(os.path.join(self.work, "case.json"), "w") as f:
            json.dump(case, f)
        calls = os.path.join(self.work, "calls")
        if os.path.exists(calls):
            os.remove(calls)
        for name in os.listdir(self.work):
            if name.endswith(".count"):
                os.remove(os.path.join(self.work, name))
        env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"],
                   FAKE_STATE=self.work, INSTALL_PAUSE="0", INSTALL_OS_RELEASE=self.os_release)
        result = subprocess.run(["bash", script, *PACKAGES], env=env, capture_output=True,
                                text=True, timeout=60)
        made = []
        if os.path.exists(calls):
            with open(calls) as f:
                made = [json.loads(line) for line in f]
        apt_get = [call for call in made if call[0] == "apt-get"]
        return result.returncode, result.stderr, apt_get, made

    def test_cases(self):
        bookworm = {"wine32:i386": "8.0~repack-4", "dosbox": "0.74-3-4"}
        cases = [
            # label, case, exit code, apt-get calls, texts stderr holds
            ("update fails twice, then works",
             {"update": [FAILS, FAILS, OK], "install": [OK]},
             0, [UPDATE] * 3 + [install()], ["try 2 of 3", "Mirror sync in progress?"]),
            ("update keeps failing, the indexes know every package",
             {"update": [FAILS], "candidates": bookworm, "install": [OK]},
             0, [UPDATE] * 3 + [install()], ["try 3 of 3", "going on"]),
            ("update keeps failing, an index is missing",
             {"update": [FAILS], "candidates": {"dosbox": "0.74-3-4"}, "install": [OK]},
             1, [UPDATE] * 3, ["cannot install wine32:i386: no package index knows"]),
            ("a package the indexes know in no version",
             {"update": [FAILS], "candidates": dict(bookworm, dosbox="(none)"), "install": [OK]},
             1, [UPDATE] * 3, ["cannot install dosbox:"]),
            ("versions of the two architectures differ: the release's suite as target",
             {"update": [FAILS], "candidates": bookworm,
              "install": [{"code": 100, "out": UNMET}], "install_target": [OK]},
             0, [UPDATE] * 3 + [install(), install("-t", "bookworm")], ["again with -t bookworm"]),
            ("unmet dependencies, in the release's suite too",
             {"update": [OK], "install": [{"code": 100, "out": UNMET}],
              "install_target": [{"code": 100, "out": UNMET}]},
             1, [UPDATE, install(), install("-t", "bookworm")],
             ["could not install wine32:i386 dosbox; apt-get said:",
              "wine32:i386 : Depends: libwine:i386"]),
            ("install fails for another reason: no second try",
             {"update": [OK], "install": [{"code": 100, "out": "E: Unable to locate package dosbox\n"}]},
             1, [UPDATE, install()], ["E: Unable to locate package dosbox"]),
        ]
        for label, case, code, apt_get, texts in cases:
            with self.subTest(label):
                status, stderr, calls, _ = self.run_case(case)
                self.assertEqual(status, code, stderr)
                self.assertEqual(calls, apt_get)
                for text in texts:
                    self.assertIn(text, stderr)

    def test_nothing_missing(self):
        status, stderr, calls, made = self.run_case(
            {"installed": PACKAGES, "update": [FAILS], "install": [FAILS]})
        self.assertEqual(status, 0, stderr)
        self.assertEqual(calls, [])
        self.assertEqual([call[0] for call in made], ["dpkg-query"] * len(PACKAGES))

    def test_i386_added_once_when_missing(self):
        for foreign, added in (([], True), (["i386"], False)):
            with self.subTest(foreign=foreign):
                _, stderr, _, made = self.run_case(
                    {"foreign": foreign, "update": [OK], "install": [OK]})
                adds = [call for call in made if call == ["dpkg", "--add-architecture", "i386"]]
                self.assertEqual(len(adds), 1 if added else 0, stderr)


if __name__ == "__main__":
    unittest.main()
