#!/usr/bin/env bash
# The preview's command line as a user meets it: exit code 2 and exactly one
# line on stderr for every kind of bad input, with nothing on stdout and no
# file written; 0 for help and for good input.
#   command_line_test.sh <launcher-preview>
set -uo pipefail
preview=${1:?usage: command_line_test.sh <launcher-preview>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n"InstallOption"="Install Driver Only"\r\n' > "$work/good.reg"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"Name"="unclosed\r\n' > "$work/unclosed.reg"
printf 'not a registry file\n' > "$work/text.reg"

# <label> <expected exit code> <text stderr must contain> <arguments...>
expect() {
  local label=$1 code=$2 message=$3; shift 3
  rm -f "$work/after.reg" "$work/changes.reg"
  "$preview" "$@" > "$work/out" 2> "$work/err"
  local status=$?
  local lines
  lines=$(wc -l < "$work/err")
  local problem=""
  [ "$status" = "$code" ] || problem="exit code $status, expected $code"
  if [ "$code" = 2 ]; then
    [ "$lines" = 1 ] || problem="$problem; $lines lines on stderr"
    [ -s "$work/out" ] && problem="$problem; output on stdout"
    [ -e "$work/after.reg" ] || [ -e "$work/changes.reg" ] && problem="$problem; a file was written"
  fi
  grep -qF -- "$message" "$work/err" "$work/out" || problem="$problem; no \"$message\""
  if [ -n "$problem" ]; then
    echo "not ok - $label: $problem"; sed 's/^/    /' "$work/err"
    failures=$((failures + 1))
  else
    echo "ok - $label"
  fi
}

out=(--after "$work/after.reg" --changes "$work/changes.reg")
expect "no subcommand" 2 "subcommand"
expect "no --windows" 2 "--windows" plan "$work/good.reg"
expect "unknown --windows" 2 'unknown Windows version "vista2"' plan --windows vista2 "${out[@]}" "$work/good.reg"
expect "unknown option" 2 "--frobnicate" plan --windows xp --frobnicate
expect "--tail with --command-line" 2 "excludes" plan --windows xp --tail x --command-line y
expect "missing file" 2 "$work/none.reg: cannot read" plan --windows xp "${out[@]}" "$work/good.reg" "$work/none.reg"
expect "unclosed string" 2 "$work/unclosed.reg:4: " plan --windows 2000 "${out[@]}" "$work/unclosed.reg"
expect "not a .reg file" 2 "$work/text.reg:1: " plan --windows 98 "${out[@]}" "$work/text.reg"
expect "missing package folder" 2 "$work/nothing: not a folder" plan --windows xp --package "$work/nothing"
expect "bad table format" 2 "--format" table --format html
expect "help" 0 "--windows" plan --help
expect "good input" 0 "Install type: driver only" plan --windows xp --tail "/S /UNINSTALL" "${out[@]}" "$work/good.reg"
[ -s "$work/after.reg" ] && [ -s "$work/changes.reg" ] || { echo "not ok - good input wrote no files"; failures=$((failures + 1)); }

mkdir -p "$work/site/pc1" "$work/site/pc2" "$work/site/notes"
pc1=$work/site/pc1 pc2=$work/site/pc2
cp "$work/good.reg" "$pc1/instuser.reg"
printf 'Microsoft Windows XP [Version 5.1.2600]\r\n' > "$pc1/ver.txt"
printf 'Hello\r\n' > "$pc2/ver.txt"
expect "plan of a machine folder" 0 "Plan for Windows XP" plan --tail "/S /UNINSTALL" "$pc1"
expect "plan, tail of the family" 0 'Tail: "/S /I1": option 3' plan --tail "-gina" --tail-for xp="/S /I1" "$pc1"
expect "plan, a folder among files" 2 "give one machine folder" plan "$pc1" "$work/good.reg"
expect "plan, --after to stdout" 0 "REGEDIT4" plan --windows xp --after - "$work/good.reg"
expect "plan, two outputs to stdout" 2 "only one output" plan --windows xp --after - --changes - "$work/good.reg"
expect "plan, bad --tail-for" 2 "FAMILY=TAIL" plan --tail-for nt=/S "$pc1"
expect "plan, tail of no option" 0 'warning: the tail "/S /I1 -gina" matches no option' plan --tail "/S /I1 -gina" "$pc1"
expect "fleet" 0 "pc1,xp,Windows XP,/S /UNINSTALL,15,data3.cab\\\\SUNINSTALLDA.iss,silent" fleet --tail "/S /UNINSTALL" "$pc1"
expect "fleet of a parent folder" 1 "pc2,,,,,,,,," fleet "$work/site"
# The folder without a machine counts as a machine that failed: every
# folder found is a row.
expect "fleet summary" 1 "fleet: 3 machines, 1 planned, 2 failed" fleet "$work/site"
expect "plan of a parent folder" 2 "is a folder of machine folders" plan "$work/site"
expect "fleet summary names the failure" 1 "failed: pc2: $pc2/ver.txt: ver.txt names no Windows version" fleet "$work/site"
expect "fleet warns of a tail of no option" 1 "tail matches no option: 1 machine" fleet --tail "/S /I1 -gina" "$work/site"
expect "fleet, unknown --windows" 2 "unknown Windows version" fleet --windows 12 "$pc1"
expect "fleet takes no --after" 2 "--after" fleet --after x "$pc1"
# Started from a share: the tails' command line starts with --program.
share='\\SERVER\NETLOGON\wlan\launcher.exe'
expect "fleet from a share" 0 'pc1,xp,Windows XP,/S /UNINSTALL,15,data3.cab\\SUNINSTALLDA.iss,silent,true,true,true' fleet --program "$share" --tail "/S /UNINSTALL" "$pc1"
# The plan's text doubles every backslash.
expect "plan from a share" 0 'Command line: \\\\SERVER\\NETLOGON\\wlan\\launcher.exe /S /UNINSTALL' plan --program "$share" --tail "/S /UNINSTALL" "$pc1"
expect "plan from a share, blanks" 0 'Command line: "\\\\SERVER\\NETLOGON\\Wireless LAN\\launcher.exe" -gina' plan --program '\\SERVER\NETLOGON\Wireless LAN\launcher.exe' --tail-for xp=-gina "$pc1"
expect "fleet, JSON lines" 0 '"machine":"pc1","family":"xp"' fleet --json "$pc1"
expect "fleet, page to stdout" 0 "data-figure=" fleet --html - "$pc1"
# verify: 0 as planned, 1 for any other verdict, 2 for bad input.
mkdir -p "$work/after/pc1" "$work/after-root"
cp "$pc1/ver.txt" "$work/after/pc1/"
expect "verify, nothing found" 1 "Verdict: not run" verify --tail "-gina /S /I1" "$pc1" "$work/after/pc1"
expect "verify, JSON" 1 '"verdict": "not run"' verify --json --tail "-gina /S /I1" "$pc1" "$work/after/pc1"
expect "verify, no after folder" 2 "$work/none: not a folder" verify "$pc1" "$work/none"
expect "verify, one folder only" 2 "AFTER" verify "$pc1"
"$preview" plan --tail "/S /UNINSTALL" --after "$work/after/pc1/all.reg" "$pc1" > /dev/null 2>&1
expect "verify, as planned" 0 "Verdict: as planned" verify --tail "/S /UNINSTALL" "$pc1" "$work/after/pc1"
expect "fleet, after root" 0 ",as planned,," fleet --tail "/S /UNINSTALL" --after-root "$work/after" "$pc1"
expect "fleet, not collected" 0 ",not collected,," fleet --after-root "$work/after-root" "$pc1"
# Names from the field forge no line: machine folders whose names hold a
# line break, a backslash, a C1 control (U+0085), or start like a formula.
crafted=$work/crafted
forged=$'pc3\n  failed: pc9: forged'
for name in "$forged" 'a\x0Ab' $'b\xc2\x85c' '=1+2'; do
  mkdir -p "$crafted/$name"
  printf 'Hello\r\n' > "$crafted/$name/ver.txt"
done
"$preview" fleet "$crafted" > "$work/out" 2> "$work/err"
problem=""
# Each failure on its line of the summary, the name as shown.
for shown in 'pc3\x0A  failed: pc9: forged' 'a\\x0Ab' 'b\u0085c' '=1+2'; do
  line="  failed: $shown: $crafted/$shown/ver.txt: ver.txt names no Windows version: \"Hello\""
  grep -qxF -- "$line" "$work/err" || problem="$problem; no line [$line]"
done
[ "$(wc -l < "$work/err")" = 5 ] || problem="$problem; $(wc -l < "$work/err") lines on stderr, expected 5"
grep -q '^  failed: pc9' "$work/err" && problem="$problem; a forged summary line"
# The CSV: one row per machine, the formula made inert.
python3 - "$work/out" <<'EOF' || problem="$problem; CSV machine cells"
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8", newline="")))
machines = [r[0] for r in rows[1:]]
want = ["'=1+2", "a\\\\x0Ab", "b\\u0085c", "pc3\\x0A  failed: pc9: forged"]
if machines != want:
    print(f"    machines {machines}, expected {want}")
    sys.exit(1)
EOF
if [ -n "$problem" ]; then
  echo "not ok - crafted machine names${problem}"; sed 's/^/    /' "$work/err"
  failures=$((failures + 1))
else
  echo "ok - crafted machine names forge no summary line and no CSV row"
fi
expect "an error names a crafted folder on one line" 2 'launcher-preview: x\x0Ay: not a folder' \
  verify "$pc1" $'x\ny'

# Each command's help names only what it takes.
"$preview" fleet --help > "$work/help" 2>&1
if grep -q -- "--live" "$work/help"; then
  echo "not ok - fleet --help speaks of --live"; failures=$((failures + 1))
else
  echo "ok - fleet --help names only its own options"
fi
expect "collect script" 0 "regedit /e %1" collect-script
"$preview" collect-script > "$work/collect.bat"
crs=$(tr -cd '\r' < "$work/collect.bat" | wc -c)
lfs=$(tr -cd '\n' < "$work/collect.bat" | wc -c)
[ "$crs" = "$lfs" ] && [ "$lfs" -gt 5 ] || { echo "not ok - collect script lines end in CR LF"; failures=$((failures + 1)); }

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
