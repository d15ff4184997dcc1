"""The source tree keeps the structure a reader relies on (source_rules.py
says what each rule measures): the preview's stages include only earlier
ones, platform/ includes nothing above it, no function in preview/ is over
80 lines. The rules' own cases show that each catches what it is for."""

import os
import tempfile
import textwrap
import unittest

import source_rules

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def write_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def function(name, body_lines, head="void %s() {", inner=""):
    """A function whose body spans body_lines lines, braces included."""
    lines = [head % name] + [inner or "  int x = 0;"] * (body_lines - 2) + ["}"]
    return "\n".join(lines) + "\n"


class TheTree(unittest.TestCase):
    def test_no_stage_includes_a_later_one_and_the_platform_nothing_above(self):
        self.assertEqual([], source_rules.layer_violations(ROOT))

    def test_no_function_of_the_preview_is_over_the_limit(self):
        self.assertEqual([], source_rules.long_functions_in(os.path.join(ROOT, "preview")))


class LayerRule(unittest.TestCase):
    CASES = [
        # (what, files, violations expected)
        ("earlier stage", {"preview/fleet/a.cc": '#include "preview/machine/plan.h"\n'}, 0),
        ("own stage", {"preview/output/a.cc": '#include "preview/output/escape.h"\n'}, 0),
        ("later stage", {"preview/machine/a.cc": '#include "preview/fleet/fleet.h"\n'}, 1),
        ("last stage from the first",
         {"preview/exports/a.h": '#include "preview/command/options.h"\n'}, 1),
        ("outside every stage", {"preview/a.cc": "int x;\n"}, 1),
        ("unknown folder", {"preview/misc/a.cc": "int x;\n"}, 1),
        ("flat include", {"preview/output/a.cc": '#include "preview/plan.h"\n'}, 1),
        ("other projects' headers", {"preview/exports/a.cc": '#include "launcher/launcher.h"\n'
                                                            "#include <string>\n"}, 0),
        ("platform on launcher", {"platform/win32_entry.cc": '#include "launcher/launcher.h"\n'}, 1),
        ("platform on kit", {"platform/kit_entry.cc": '#  include "kit/kit.h"\n'}, 1),
        ("platform on itself", {"platform/a.cc": '#include "platform/platform.h"\n'}, 0),
    ]

    def test_cases(self):
        for what, files, expected in self.CASES:
            with self.subTest(what), tempfile.TemporaryDirectory() as root:
                write_tree(root, files)
                self.assertEqual(expected, len(source_rules.layer_violations(root)),
                                 source_rules.layer_violations(root))


class FunctionLengthRule(unittest.TestCase):
    CASES = [
        # (what, source, names of the functions found too long)
        ("at the limit", function("Fits", 80), []),
        ("one line over", function("Long", 81), ["Long"]),
        ("a method in a class", "class A {\n public:\n" + function("Method", 81) + "};\n",
         ["Method"]),
        ("in a namespace", "namespace a {\nnamespace {\n" + function("Inner", 90) + "}\n}\n",
         ["Inner"]),
        ("a constructor's initializers",
         function("A::A", 81, head='%s(int x) : x_(x), y_("{") {'), ["A::A"]),
        ("a lambda counts with its function",
         "void Outer() {\n  auto f = [] {\n" + "  g();\n" * 70 + "  };\n" + "  g();\n" * 10 +
         "}\n", ["Outer"]),
        ("braces in strings and comments",
         function("Text", 81, inner='  s = "}}}"; c = \'}\'; // }}}'), ["Text"]),
        ("a raw string's braces",
         "void Css() {\n  return R\"css(\n" + "a {\n" * 10 + ")css\";\n}\n" +
         function("After", 81), ["After"]),
        ("a table is no function", "const int k[] = {\n" + "  1,\n" * 100 + "};\n", []),
        ("the #else branch of a conditional",
         "void Both() {\n#ifdef _WIN32\n  if (a) {\n#else\n  if (b) {\n#endif\n  }\n}\n" +
         function("After", 81), ["After"]),
    ]

    def test_cases(self):
        for what, source, expected in self.CASES:
            with self.subTest(what), tempfile.TemporaryDirectory() as root:
                path = os.path.join(root, "a.cc")
                write_tree(root, {"a.cc": textwrap.dedent(source)})
                found = [name for name, _, _ in source_rules.long_functions(path)]
                self.assertEqual(expected, found)


if __name__ == "__main__":
    unittest.main()
