#!/usr/bin/env bash
# The fleet page as a browser shows it: a generated fleet planned with
# "fleet --html", the page loaded in headless Chromium, every data-figure
# and data-count of its DOM (and the machines each lists) against the same
# figures made from the CSV, no console message, only the page's own
# elements; and a screenshot to look at. Exit 77 (skipped) without Chromium.
#   fleet_page_browser_test.sh <launcher-preview> <fleet_generate> [screenshot.png]
set -uo pipefail
preview=${1:?usage: fleet_page_browser_test.sh <launcher-preview> <fleet_generate> [screenshot.png]}
generate=${2:?usage: fleet_page_browser_test.sh <launcher-preview> <fleet_generate> [screenshot.png]}
screenshot=${3:-}
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "SKIP: no chromium on PATH (apt-get install chromium)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "not ok - $*"; exit 1; }

"$generate" "$work/fleet" 60 7 > /dev/null || fail "fleet_generate failed"
# A package without the XP response file, and a tail that gives 2000 an
# interactive setup: every kind of setup, and response files missing.
mkdir -p "$work/package/data3.cab"
for file in layout.bin data1.cab data2.cab ikernel.ex_ data1.hdr setup.ini setup.inx \
            CorvaneAdminConfig.dat data3.cab/setup.iss data3.cab/SI1.iss; do
  echo "$file" > "$work/package/$file"
done
# Folders collected after the rollout for some machines: the before-state
# again (never run), an empty folder, one that does not read, one of
# another Windows; the rest were not collected.
mkdir -p "$work/after"
k=0
for machine in "$work/fleet"/*/; do
  name=$(basename "$machine")
  k=$((k + 1))
  case $((k % 6)) in
    1|2) cp -r "$machine" "$work/after/$name" ;;
    3) mkdir "$work/after/$name" ;;
    4) cp -r "$machine" "$work/after/$name"
       printf 'REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n' > "$work/after/$name/zz.reg" ;;
    5) cp -r "$machine" "$work/after/$name"
       printf '\r\nWindows 98 [Version 4.10.1998]\r\n' > "$work/after/$name/ver.txt" ;;
  esac
done
"$preview" fleet --package "$work/package" --tail-for 9x="/S /I1" --tail-for 2000="/S /I4" \
  --tail "-gina /S /I1" --after-root "$work/after" --html "$work/page.html" "$work/fleet" \
  > "$work/fleet.csv" 2> "$work/fleet.err"
status=$?
# The generated fleet has broken machines: 1, not 0.
[ "$status" = 1 ] || { cat "$work/fleet.err"; fail "fleet exit code $status, expected 1"; }
[ -s "$work/page.html" ] || fail "no page written"
echo "ok - fleet wrote the CSV and the page"

# A profile of its own: other Chromium runs may be going on.
run_browser() {
  "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" --enable-logging=stderr --v=0 "$@"
}
run_browser --dump-dom "file://$work/page.html" > "$work/dom.html" 2> "$work/browser.log"
[ -s "$work/dom.html" ] || { cat "$work/browser.log"; fail "Chromium dumped no DOM"; }
# With --enable-logging every console message is an INFO:CONSOLE line; the
# page has no script, so any at all is a fault.
if grep -E ':CONSOLE|Uncaught' "$work/browser.log"; then
  fail "console messages while loading the page"
fi
echo "ok - Chromium loaded the page without a console message"

python3 - "$work/dom.html" "$work/fleet.csv" "$(cd "$(dirname "$0")" && pwd)" <<'EOF' || exit 1
import csv, html, re, sys
sys.path.insert(0, sys.argv[3])
from csv_cells import cell_bytes

dom = open(sys.argv[1], encoding="utf-8").read()
problems = []
# Only the page's own elements: field text that became markup would show here.
tags = set(re.findall(r"<([a-z][a-z0-9]*)", dom))
if tags - {"html", "head", "meta", "title", "style", "body", "h1", "h2", "h3", "p", "nav", "a",
           "b", "main", "section", "div", "details", "summary", "span", "svg", "rect", "pre"}:
    problems.append(f"elements the page does not make: {sorted(tags)}")
if re.search(r"<[^>]* (on[a-z]+|src)=", dom) or re.search(r'href="[^#]', dom):
    problems.append("an attribute that runs or fetches something")
# Every figure, its count and the lines it lists (text between tags is escaped).
shown = {}
for m in re.finditer(r'data-figure="([^"]*)" data-count="(\d+)">(.*?)</(?:details|div)>\n', dom, re.S):
    figure = html.unescape(m[1])
    if figure in shown:
        problems.append(f"figure twice: {figure}")
    body = re.search(r'<div class="m"><(?:div|pre)>([^<]*)', m[3])
    shown[figure] = (int(m[2]), html.unescape(body[1]).split("\n") if body else [])

# The CSV's cells as text (csv_cells.py).
def text(cell):
    return cell_bytes(cell).decode("utf-8", "replace")
rows = [{k: text(v) for k, v in r.items()}
        for r in csv.DictReader(open(sys.argv[2], encoding="utf-8", newline=""))]
settings = ("GinaInstallOption", "SilentLeapOption", "XRStatus", "wModeSelect")
want = {f: [] for f in ["machines:failed", "marker:left", "warnings:any", "missing:any",
                        "adapters:tuned", "install:full", "install:driver only"] +
        [f"family:{f}" for f in ("9x", "2000", "xp", "other")] +
        [f"setup:{s}" for s in ("silent", "interactive", "none")] +
        [f"{g}:{s}" for g in ("changed", "carried", "overwritten") for s in settings]}
def add(figure, row):
    want.setdefault(figure, []).append(row["machine"])
for r in rows:
    if r["error"] or r["verdict"] == "unreadable":
        add("machines:failed", r)
    if r["error"]:
        continue
    add("machines:planned", r)
    add("verdict:" + r["verdict"], r)
    if r["family"] == "other":
        add("windows:" + r["windows"], r)
    add("family:" + r["family"], r)
    add("setup:" + r["setup"], r)
    add("tail:" + r["tail"], r)
    if r["setup"] != "none":
        add("response:" + (r["response_file"] or "plain"), r)
    if r["setup"] == "silent" and r["response_file_staged"] == "false":
        add("missing:any", r)
        add("missing:" + r["response_file"], r)
    for figure, on in (("marker:left", r["marker_left"] == "true"), ("warnings:any", r["warnings"]),
                       ("install:" + r["install_type"], r["install_type"]),
                       ("adapters:tuned", r["adapters_tuned"])):
        if on:
            add(figure, r)
    for s in settings:
        before, after, why = r[s + "_before"], r[s], r[s + "_why"]
        add(f"{s}:" + {"(none)": "(absent)", "": "(empty)"}.get(after, after), r)
        if before != after:
            add(f"changed:{s}", r)
        if why == "carried":
            add(f"carried:{s}", r)
        if why == "option" and before != "(none)" and before != after:
            add(f"overwritten:{s}", r)

# The lists of these are names; the others' are messages.
named = ("machines", "family", "windows", "setup", "response", "missing", "marker", "install",
         "tail", "warnings:any")
for figure, machines in sorted(want.items()):
    count, lines = shown.get(figure, (None, []))
    if count != len(machines):
        problems.append(f"{figure}: page {count}, CSV {len(machines)}")
    elif figure.startswith(named) and lines != machines:
        problems.append(f"{figure}: lists {lines[:4]}..., CSV {machines[:4]}...")
# The CSV has the warnings' texts, not their kinds, and no error kinds.
groups = {f.split(":")[0] for f in want} - {"warnings"}
problems += [f"{f}: {c} on the page, none in the CSV" for f, (c, _) in shown.items()
             if f.split(":")[0] in groups and f not in want and c]
if sum(c for f, (c, _) in shown.items() if f.startswith("failed:")) != len(want["machines:failed"]):
    problems.append("failed:* do not add up to machines:failed")
problems += [f"{f}: none in this fleet, so not checked" for f in
             ("machines:failed", "warnings:any", "missing:any", "setup:interactive", "setup:none",
              "response:plain", "marker:left", "verdict:not collected", "verdict:unreadable",
              "verdict:incomplete collection", "verdict:other Windows")
             if not want.get(f)]
# Every verdict has its figure, zeros too, and a colour of its own kind.
for v, tone in (("as planned", "good"), ("differs", "bad"), ("not run", "bad"),
                ("unreadable", "bad"), ("cannot tell", "warn"), ("not collected", "warn")):
    m = re.search(r'<(?:details|div) class="f ' + tone + r'" data-figure="verdict:' + v + '"', dom)
    if not m:
        problems.append(f"verdict:{v} is not coloured {tone}")
if problems:
    print("not ok - the page's figures against the CSV:\n    " + "\n    ".join(problems))
    sys.exit(1)
print(f"ok - {len(want)} figures of the page agree with the CSV ({len(rows)} machines, "
      f"{len(want['machines:failed'])} failed); {len(shown)} on the page")
EOF

if [ -n "$screenshot" ]; then
  mkdir -p "$(dirname "$screenshot")"
  rm -f "$screenshot"
  run_browser --screenshot="$screenshot" --window-size=1280,2000 "file://$work/page.html" \
    > /dev/null 2>&1
  [ -s "$screenshot" ] || fail "no screenshot written"
  echo "ok - screenshot $screenshot"
fi
