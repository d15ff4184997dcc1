"""Rules of the source tree that a reader relies on, checked by
preview_layers_test.py:

- The preview's stages, in the order data flows through them: a file of
  one stage includes no file of a later stage.
- platform/, the operating-system seam, includes nothing of what it serves.
- No function in preview/ is longer than MAX_FUNCTION_LINES. A function's
  length is the number of lines from the one holding the opening brace of
  its body to the one holding the closing brace, both counted; a lambda or
  a local class counts as part of the function it is in.
"""

import os
import re

# In the order data flows: a stage may include its own files and those of
# the stages before it.
STAGES = ("exports", "machine", "fleet", "output", "command")

# Folders the platform must never include from.
ABOVE_PLATFORM = ("launcher", "settings", "adapter", "kit", "preview")

MAX_FUNCTION_LINES = 80

SOURCE_SUFFIXES = (".h", ".cc")

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def _sources(folder):
    for directory, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(directory, name)


def _read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def layer_violations(root):
    """Every include of preview/ and platform/ that breaks the order, and
    every preview source outside a stage folder, as lines of text."""
    found = []
    preview = os.path.join(root, "preview")
    for path in _sources(preview):
        relative = os.path.relpath(path, preview).replace(os.sep, "/")
        stage = relative.split("/")[0] if "/" in relative else None
        if stage not in STAGES:
            found.append("preview/%s: not in a stage folder (%s)" % (relative, ", ".join(STAGES)))
            continue
        for included in INCLUDE.findall(_read(path)):
            parts = included.split("/")
            if parts[0] != "preview":
                continue
            target = parts[1] if len(parts) > 2 else None
            if target not in STAGES:
                found.append("preview/%s includes %s: not in a stage folder" % (relative, included))
            elif STAGES.index(target) > STAGES.index(stage):
                found.append("preview/%s (%s) includes %s of the later stage %s"
                             % (relative, stage, included, target))
    for path in _sources(os.path.join(root, "platform")):
        relative = os.path.relpath(path, root).replace(os.sep, "/")
        for included in INCLUDE.findall(_read(path)):
            if included.split("/")[0] in ABOVE_PLATFORM:
                found.append("%s includes %s, above the platform" % (relative, included))
    return found


# ---- Function lengths ----------------------------------------------------------

_RAW_STRING = re.compile(r'R"([^(\s]{0,16})\(')


def _code_only(text):
    """The text with comments, string and character literals blanked
    (line breaks kept, so line numbers hold) and the lines of #else and
    #elif branches dropped, so that braces balance as one branch has them."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif c == "R" and _RAW_STRING.match(text, i) and (i == 0 or not text[i - 1].isalnum()):
            match = _RAW_STRING.match(text, i)
            close = ")" + match.group(1) + '"'
            end = text.find(close, match.end())
            end = n if end < 0 else end + len(close)
            out.append('""' + "\n" * text.count("\n", i, end))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    lines = "".join(out).split("\n")
    kept, depth_skipped, stack = [], 0, []
    for line in lines:
        directive = line.strip()
        if directive.startswith("#"):
            word = directive[1:].strip().split(" ")[0]
            if word in ("if", "ifdef", "ifndef"):
                stack.append(False)
            elif word in ("else", "elif") and stack:
                stack[-1] = True
            elif word == "endif" and stack:
                stack.pop()
            kept.append("")
            continue
        kept.append("" if any(stack) else line)
    return kept


def _kind_of_block(head):
    """What a brace opens, from the text before it since the last ; { or }."""
    head = head.strip()
    if re.match(r"(namespace\b|extern\s*\"\")", head) or not head:
        return "container"
    if head.endswith(("=", ",", "(", "return", "?", ":")) and not head.endswith("::"):
        return "data"
    if re.search(r"\b(class|struct|union|enum)\b", head) and "(" not in head:
        return "container"
    if "(" in head:
        return "function"
    return "data"


def long_functions(path, limit=MAX_FUNCTION_LINES):
    """(name, first line, length) of each function body in the file longer
    than limit lines."""
    lines = _code_only(_read(path))
    found = []
    stack = []  # (kind, line, name) per open brace
    head = []
    for number, line in enumerate(lines, 1):
        for c in line:
            if c == "{":
                inside = any(kind == "function" for kind, _, _ in stack)
                text = "".join(head)
                kind = "inner" if inside else _kind_of_block(text)
                names = re.findall(r"([~\w:]+)\s*\(", text)
                stack.append((kind, number, names[0] if names else "?"))
                head = []
            elif c == "}":
                if stack:
                    kind, first, name = stack.pop()
                    if kind == "function" and number - first + 1 > limit:
                        found.append((name, first, number - first + 1))
                head = []
            elif c == ";":
                head = []
            else:
                head.append(c)
        head.append("\n")
    return found


def long_functions_in(folder, limit=MAX_FUNCTION_LINES):
    """Lines of text naming every function of the folder's sources over
    limit lines."""
    return ["%s:%d: %s is %d lines" % (os.path.relpath(path, os.path.dirname(folder)), first,
                                        name, length)
            for path in _sources(folder)
            for name, first, length in long_functions(path, limit)]
