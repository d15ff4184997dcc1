#!/usr/bin/env python3
"""The repository's shell scripts under "set -o pipefail" never judge a
pipeline whose last command may stop reading early (grep -q, grep -m, head):
the writer then dies of a broken pipe, and pipefail reports a failure that
depends on timing. The end-to-end run once failed so on a random machine's
long record. A "|| true" after the pipeline, or a process substitution in its
place, is fine."""
import os
import re
import unittest

here = os.path.dirname(os.path.abspath(__file__))
source = os.path.normpath(os.path.join(here, "..", ".."))

EARLY_END = re.compile(r"\|\s*(grep\s+(-\w*[qm]\w*\b|--quiet|--max-count)|head\b)")


def scripts():
    for folder in ("scripts", "tests", "bench", "fuzz", ".ci"):
        for root, _, files in os.walk(os.path.join(source, folder)):
            for name in files:
                path = os.path.join(root, name)
                if name.endswith(".sh") or name == "run":
                    yield path


def faults(text):
    """Lines (number, text) of a pipefail script that judge an early-ending
    pipeline."""
    if not re.search(r"set -\w*o pipefail", text):
        return []
    found = []
    for number, line in enumerate(text.split("\n"), 1):
        code = line.split(" #", 1)[0].strip()
        if code.startswith("#") or not EARLY_END.search(code):
            continue
        if re.search(r"\|\|\s*true\s*$", code):
            continue
        found.append((number, code))
    return found


class ScriptPipesTest(unittest.TestCase):
    def test_the_rule_itself(self):
        cases = [
            ("set -euo pipefail\ntr -d x < f | grep -qx y || bad\n", 1),
            ("set -euo pipefail\nobjdump f | head -3\n", 1),
            ("set -euo pipefail\nlist | grep -m1 x >/dev/null\n", 1),
            ("set -euo pipefail\ncmp a b | head -10 >&2 || true\n", 0),
            ("set -euo pipefail\ngrep -qx y < <(tr -d x < f) || bad\n", 0),
            ("set -euo pipefail\ntr -d x < f | grep -x y >/dev/null\n", 0),
            ("set -u\nprintf x | grep -q y\n", 0),
        ]
        for text, count in cases:
            with self.subTest(text=text):
                self.assertEqual(len(faults(text)), count)

    def test_no_script_judges_a_pipe_that_ends_early(self):
        found = []
        for path in scripts():
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, code in faults(f.read()):
                    found.append("%s:%d: %s" % (os.path.relpath(path, source), number, code))
        self.assertEqual(found, [], "\n".join(found))


if __name__ == "__main__":
    unittest.main()
