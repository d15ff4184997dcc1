#!/usr/bin/env python3
"""tools/admin_readme.py: the archive's README is README.md's overview and
the administrators' guide (docs/administrators.md), and its option table is
the one the preview prints, so it cannot describe another table than the
launcher's.

LAUNCHER_PREVIEW names the host build of launcher-preview."""
import os
import subprocess
import sys
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
source = os.path.normpath(os.path.join(here, "..", ".."))
sys.path.insert(0, os.path.join(source, "tools"))
import admin_readme  # noqa: E402

TABLE_END = admin_readme.TABLE_END

with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
    README = f.read()
with open(os.path.join(source, "docs", "administrators.md"), encoding="utf-8") as f:
    ADMIN = f.read()
with open(os.path.join(source, "docs", "development.md"), encoding="utf-8") as f:
    DEVELOPMENT = f.read()


def table_of(text):
    begin = text.index(admin_readme.TABLE_BEGIN)
    return text[text.index("\n", begin) + 1:text.index(TABLE_END)]


class FromTheReadme(unittest.TestCase):
    def setUp(self):
        self.text = admin_readme.admin_readme(README, ADMIN, "9.8.7")
        self.lines = self.text.split("\r\n")

    def test_option_table_is_the_previews(self):
        preview = os.environ.get("LAUNCHER_PREVIEW")
        if not preview:
            self.skipTest("LAUNCHER_PREVIEW is not set")
        printed = subprocess.run([preview, "table", "--format", "markdown"],
                                 check=True, capture_output=True, text=True).stdout
        self.assertEqual(printed, table_of(self.text.replace("\r\n", "\n")),
                         "the archive's README would not show the launcher's table")

    def test_title_overview_and_admin_section_in_order(self):
        self.assertEqual("# Silent setup launcher 9.8.7", self.lines[0])
        plain = self.text.replace("\r\n", "\n")
        for earlier, later in [
                ("An unattended-setup launcher", "It never shows a window"),
                ("It never shows a window", "## This archive"),
                ("## This archive", "## For administrators"),
                ("## For administrators", "### The rollout kit, step by step"),
                ("### The rollout kit, step by step", "### Option reference"),
                ("### Option reference", TABLE_END)]:
            with self.subTest(earlier=earlier, later=later):
                self.assertLess(plain.index(earlier), plain.index(later))

    def test_nothing_of_the_developers_notes(self):
        for heading in ("## The tests", "## Builds", "## Hardening", "## Performance",
                        "## End-to-end tests"):
            with self.subTest(heading=heading):
                self.assertIn(heading, DEVELOPMENT)
                self.assertNotIn(heading[3:], self.text)
        for heading in ("## Commands", "## A short tour"):
            with self.subTest(heading=heading):
                self.assertIn(heading, README)
                self.assertNotIn(heading, self.text)

    def test_crlf_and_ascii_only(self):
        self.assertNotIn("\n", self.text.replace("\r\n", ""))
        self.assertTrue(self.text.endswith("\r\n"))
        self.assertTrue(all(0x20 <= ord(c) < 0x7F or c in "\r\n" for c in self.text))


class Refuses(unittest.TestCase):
    def test_documents_without_their_parts(self):
        table = ADMIN.index(admin_readme.TABLE_BEGIN)
        cases = {
            "no title": (README[README.index("\n") + 1:], ADMIN),
            "no overview": (README[:README.index("\n") + 1] + README[README.index("## "):], ADMIN),
            "a guide of another title":
                (README, ADMIN.replace("# For administrators", "# For operators", 1)),
            "no option table": (README, ADMIN[:table] + ADMIN[table:].replace(TABLE_END, "", 1)),
            "a character beyond ASCII": (README, ADMIN + "\ncaf\u00e9\n"),
        }
        for label, (readme, admin) in cases.items():
            with self.subTest(case=label):
                with self.assertRaises(admin_readme.Missing):
                    admin_readme.admin_readme(readme, admin, "1.0.0")

    def test_command_line(self):
        tool = os.path.join(source, "tools", "admin_readme.py")
        with tempfile.TemporaryDirectory() as folder:
            broken = os.path.join(folder, "administrators.md")
            with open(broken, "w") as f:
                f.write("# Title\n\ntext\n")
            out = os.path.join(folder, "README.txt")
            result = subprocess.run([sys.executable, tool, os.path.join(source, "README.md"),
                                     broken, "1.0.0", out], capture_output=True, text=True)
            self.assertEqual(1, result.returncode)
            self.assertIn("For administrators", result.stderr)
            self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
