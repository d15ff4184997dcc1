#!/usr/bin/env bash
# The fleet's CSV as a spreadsheet opens it: a fleet of machine folders with
# crafted names and values (formulas, control characters, backslashes,
# bytes that are no UTF-8, non-ASCII) planned with "fleet", the CSV opened by
# LibreOffice Calc headless and saved as .xlsx, whose cells must be the CSV's
# cell by cell: the same text, numbers as numbers, no formula anywhere; and
# every crafted name and value must come back from its cell exactly.
# Opened twice: with the import dialog's defaults (separators comma,
# semicolon and tab; formulas not evaluated), and with "Evaluate formulas"
# and "Detect special numbers" ticked. Exit 77 (skipped) without soffice.
#   fleet_spreadsheet_test.sh <launcher-preview>
set -uo pipefail
preview=${1:?usage: fleet_spreadsheet_test.sh <launcher-preview>}
soffice=$(command -v soffice || command -v libreoffice || true)
if [ -z "$soffice" ]; then
  echo "SKIP: no soffice on PATH (apt-get install libreoffice-calc-nogui)"
  exit 77
fi
work=$(mktemp -d /tmp/fleet-spreadsheet.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "not ok - $*"; exit 1; }

# The machines: one folder per crafted name, and machines whose settings
# key holds a crafted value (REGEDIT4 text in code page 1252, where 0x81,
# 0x8D and 0x9D become U+0081, U+008D and U+009D).
python3 - "$work/fleet" "$work/expected.json" <<'EOF' || fail "making the machines"
import json, os, sys
root, expected = sys.argv[1].encode(), sys.argv[2]
xp = b"Microsoft Windows XP [Version 5.1.2600]\r\n"
names = [b"=1+2", b"+1", b"@SUM(1)", b"-1", b"22", b"-gina", b"\tTAB", b"\rCR",
         b"a\\x0Ab", b"a\nb", b"\x85raw", "\u0085nel".encode(), "sep\u2028line".encode(),
         b"a;b", b"a,b", b'say "hi"', b"'quoted", "pc00013 B\u00fcro".encode(),
         "\u0411\u0443\u0445\u0433\u0430\u043b\u0442\u0435\u0440\u0438\u044f-01".encode(),
         "\u7d4c\u7406\u90e8-PC".encode()]
values = ['=HYPERLINK("http://x","y")', "=1+2", "+1", "@SUM(1)", "-gina /S /I1", "-1",
          "\t=1", "a\\x0Ab", "C:\\Program Files\\Client", "\u0081\u008d\u009d C1",
          "B\u00fcro", "'=1", "a;b,c", "4294967295"]
def ansi(text):
    return b"".join(bytes([ord(c)]) if ord(c) in (0x81, 0x8D, 0x9D) else c.encode("cp1252")
                    for c in text)
def machine(name, ver, reg=None):
    folder = os.path.join(root, name)
    os.makedirs(folder)
    open(os.path.join(folder, b"ver.txt"), "wb").write(ver)
    if reg is not None:
        open(os.path.join(folder, b"corvane.reg"), "wb").write(reg)
for name in names:
    machine(name, xp)
for k, value in enumerate(values):
    quoted = ansi(value).replace(b"\\", b"\\\\").replace(b'"', b'\\"')
    machine(b"value-%02d" % k, xp,
            b"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
            b'"SilentLeapOption"="' + quoted + b'"\r\n"wModeSelect"=dword:ffffffff\r\n')
machine(b"=9x", b"\r\nWindows 98 [Version 4.10.1998]\r\n")  # the 9x tail matches no option
machine(b"=ERR()", b"Hello\r\n")  # fails: its error names the folder
json.dump({"names": [n.hex() for n in names + [b"=9x", b"=ERR()"]],
           "values": {"value-%02d" % k: v for k, v in enumerate(values)}},
          open(expected, "w"))
EOF

"$preview" fleet --tail-for 9x="=1+2" --tail "-gina /S /I1" "$work/fleet" \
  > "$work/fleet.csv" 2> "$work/fleet.err"
status=$?
[ "$status" = 1 ] || { cat "$work/fleet.err"; fail "fleet exit code $status, expected 1 (one machine fails)"; }
echo "ok - fleet wrote the CSV of $(($(wc -l < "$work/fleet.csv") - 1)) machines"

# Tokens: separators, text delimiter, character set (76: UTF-8), first row,
# column formats, language, quoted field as text, detect special numbers,
# (export only), (export only), trim spaces, (export only), evaluate formulas.
declare -A imports=(
  [dialog]="44/59/9,34,76,1,,0,false,false,true,false,false,-1,false"
  [evaluating]="44/59/9,34,76,1,,0,false,true,true,false,false,-1,true"
)
for mode in dialog evaluating; do
  mkdir -p "$work/$mode"
  cp "$work/fleet.csv" "$work/$mode/fleet.csv"
  # A profile of its own: a first start works headless, also as root.
  "$soffice" "-env:UserInstallation=file://$work/profile" --headless --norestore \
    --infilter="CSV:${imports[$mode]}" --convert-to xlsx --outdir "$work/$mode" \
    "$work/$mode/fleet.csv" > "$work/$mode/soffice.log" 2>&1
  [ -s "$work/$mode/fleet.xlsx" ] || { cat "$work/$mode/soffice.log"; fail "$mode: soffice wrote no .xlsx"; }
done

python3 - "$work" "$(cd "$(dirname "$0")" && pwd)" <<'EOF' || exit 1
import csv, json, re, sys, zipfile
sys.path.insert(0, sys.argv[2])
from csv_cells import cell_bytes
import xml.etree.ElementTree as ET

work = sys.argv[1]
ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
rows = list(csv.reader(open(f"{work}/fleet.csv", encoding="utf-8", newline="")))
expected = json.load(open(f"{work}/expected.json"))
number = re.compile(r"-?[0-9]+(\.[0-9]+)?$")

def column(ref):
    letters = re.match(r"[A-Z]+", ref)[0]
    n = 0
    for c in letters:
        n = n * 26 + ord(c) - 64
    return n - 1

# The sheet's cells: (row, column) -> (type, value, formula or None).
def cells(path):
    book = zipfile.ZipFile(path)
    shared = []
    if "xl/sharedStrings.xml" in book.namelist():
        for si in ET.fromstring(book.read("xl/sharedStrings.xml")).findall("m:si", ns):
            shared.append("".join(t.text or "" for t in si.iter(f"{{{ns['m']}}}t")))
    sheet = ET.fromstring(book.read("xl/worksheets/sheet1.xml"))
    found = {}
    for r, row in enumerate(sheet.find("m:sheetData", ns).findall("m:row", ns)):
        r = int(row.get("r")) - 1
        for c in row.findall("m:c", ns):
            kind, v, f = c.get("t", "n"), c.find("m:v", ns), c.find("m:f", ns)
            value = v.text if v is not None else None
            if kind == "s":
                value = shared[int(value)]
            elif kind == "inlineStr":
                value = "".join(t.text or "" for t in c.iter(f"{{{ns['m']}}}t"))
                kind = "s"
            found[(r, column(c.get("r")))] = (kind, value, None if f is None else f.text)
    return found

failed = False
for mode in ("dialog", "evaluating"):
    problems = []
    found = cells(f"{work}/{mode}/fleet.xlsx")
    formulas = [f"{k}: ={f}" for k, (_, _, f) in found.items() if f is not None]
    if formulas:
        problems.append(f"{len(formulas)} formulas, e.g. {formulas[:3]}")
    width = max(len(r) for r in rows)
    extra = [k for k in found if k[0] >= len(rows) or k[1] >= width]
    if extra:
        problems.append(f"cells beyond the CSV's (a cell split): {extra[:5]}")
    numbers = strings = 0
    for r, row in enumerate(rows):
        for c, want in enumerate(row):
            kind, value, _ = found.get((r, c), ("s", "", None))
            if number.match(want):
                numbers += 1
                if kind != "n" or float(value) != float(want):
                    problems.append(f"row {r + 1} column {c + 1}: {want!r} read back as {kind} {value!r}")
            elif mode == "evaluating" and want in ("true", "false") and kind == "b":
                if value != ("1" if want == "true" else "0"):
                    problems.append(f"row {r + 1} column {c + 1}: {want!r} read back as {value!r}")
            else:
                strings += want != ""
                if (kind != "s" and want != "") or (value or "") != want:
                    problems.append(f"row {r + 1} column {c + 1}: {want!r} read back as {kind} {value!r}")
    # Every crafted name and value from the cell it reads back as.
    header = rows[0]
    shown = {}
    for r, row in enumerate(rows[1:], 1):
        kind, value, _ = found.get((r, 0), ("s", "", None))
        shown[cell_bytes(value if kind == "s" else row[0])] = r
    for name in expected["names"]:
        if bytes.fromhex(name) not in shown:
            problems.append(f"machine {bytes.fromhex(name)!r} not found; machines read back: {sorted(shown)}")
    at = header.index("SilentLeapOption_before")
    for machine, value in expected["values"].items():
        r = shown.get(machine.encode())
        got = found.get((r, at), ("", "", None))
        if r is None or cell_bytes(got[1] if got[0] == "s" else rows[r][at]).decode() != value:
            problems.append(f"{machine}: SilentLeapOption_before read back as {got!r}, written {value!r}")
    if problems:
        failed = True
        print(f"not ok - {mode}: the spreadsheet's cells against the CSV:\n    " + "\n    ".join(problems[:20]))
    else:
        print(f"ok - {mode}: {len(rows)} rows, {strings} text and {numbers} number cells read back as "
              f"written, no formula; {len(expected['names'])} crafted names and "
              f"{len(expected['values'])} values intact")
sys.exit(1 if failed else 0)
EOF
