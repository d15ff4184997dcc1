#include "tests/e2e/cases.h"

#include <cstddef>

#include "tests/e2e/world.h"

namespace e2e {

namespace {

// The 44 options in table order; an entry's position from 1 is its number.
const char* const kOptions[44] = {
    "", "/wbs", "/S /I1", "/S /I1 /wbs", "/S /I2", "/S /I2 /wbs", "/S /I3",
    "/S /I3 /wbs", "/S /I4", "/S /I4 /wbs", "/S /I5", "/S /I5 /wbs",
    "/S /UPDATE", "/S /UPDATE /wbs", "/S /UNINSTALL", "/S /UNINSTALL /wbs",
    "-gina", "-sl", "-sl /S /I1", "-sl /S /I3", "-gina -sl", "-gina /S /I1",
    "-gina -sl /S /I1", "-gina /S /I3", "-gina -sl /S /I3", "-wm=4", "-wm=12",
    "-wm=13", "-wm=4 /S /I1", "-wm=12 /S /I1", "-wm=13 /S /I1", "-wm=4 /S /I3",
    "-wm=12 /S /I3", "-wm=13 /S /I3", "-gina /S /UPDATE", "-XR", "-gina -XR",
    "-gina -sl -XR", "-XR /S /I1", "-gina -XR /S /I1", "-gina -sl -XR /S /I1",
    "-XR /S /I3", "-gina -XR /S /I3", "-gina -sl -XR /S /I3",
};

// Response file by the option's last silent word, on Windows 2000 and XP.
// Windows 9x uses the 2000 file, and only for the bare "/S /..." options
// without "/wbs".
struct SilentWord {
  const char* word;
  const char* windows2000;
  const char* windows_xp;
};
const SilentWord kSilentWords[] = {
    {"/I1", "SI1.iss", "SI1XP.iss"},
    {"/I2", "SI2.iss", "SI2.iss"},
    {"/I3", "SI3.iss", "SI3XP.iss"},
    {"/I4", kPlain, "SI4XP.iss"},
    {"/I5", kPlain, "SI5XP.iss"},
    {"/UPDATE", "SUPDATE.iss", "SUPDATE.iss"},  // full install
    {"/UNINSTALL", "SUNINSTALL.iss", "SUNINSTALL.iss"},
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find(' ', from);
    if (end == std::string::npos) end = text.size();
    if (end > from) words.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return words;
}

bool Has(const std::vector<std::string>& words, const std::string& word) {
  for (const std::string& w : words) {
    if (w == word) return true;
  }
  return false;
}

// What a run leaves on a machine that held none of the client's keys.
Case Clean(const std::string& version, const std::string& tail, Start start) {
  Case c;
  c.version = version;
  c.tail = tail;
  c.start = start;
  c.legacy = "-";
  c.installer_lm = "-";
  c.installer_cu = "-";
  c.settings = "-";
  const int number = OptionNumber(tail);
  const std::string option = number > 0 ? kOptions[number - 1] : "";
  const std::vector<std::string> words = Words(option);
  const bool wbs = Has(words, "/wbs");

  if (version == "win7") {
    c.response = kNoSetup;
    return c;
  }
  c.adapters_fixed = wbs;
  for (const SilentWord& silent : kSilentWords) {
    if (number == 0 || !Has(words, silent.word)) continue;
    if (version == "winxp") c.response = silent.windows_xp;
    if (version == "win2k") c.response = silent.windows2000;
    if (version == "win98" && option == std::string("/S ") + silent.word) {
      c.response = silent.windows2000;
    }
  }
  if (version == "win98") return c;

  // Carry-over defaults, then the option's own settings.
  std::string settings = std::string("GinaInstallOption=sz:") +
                         (Has(words, "-gina") ? "1" : "0");
  if (Has(words, "-sl")) settings += ",SilentLeapOption=sz:1";
  settings += std::string(",XRStatus=sz:") + (Has(words, "-XR") ? "1" : "0");
  for (const char* mode : {"4", "12", "13"}) {
    if (Has(words, std::string("-wm=") + mode)) settings += std::string(",wModeSelect=dw:") + mode;
  }
  c.settings = settings;
  return c;
}

// Overrides of the clean expectation: "iss=<file>|plain|none", "staged=0",
// "S=<contents>", "L=", "I=", "U=" (world.h), separated by ';'.
void Override(Case* c, const std::string& expect) {
  size_t from = 0;
  while (from < expect.size()) {
    size_t end = expect.find(';', from);
    if (end == std::string::npos) end = expect.size();
    const std::string item = expect.substr(from, end - from);
    from = end + 1;
    const size_t equals = item.find('=');
    const std::string name = item.substr(0, equals);
    const std::string value = item.substr(equals + 1);
    if (name == "iss") {
      c->response = value == "plain" ? kPlain : value == "none" ? kNoSetup : value;
    } else if (name == "staged") {
      c->staged = value != "0";
    } else if (name == "S") {
      c->settings = value;
    } else if (name == "L") {
      c->legacy = value;
    } else if (name == "I") {
      c->installer_lm = value;
    } else if (name == "U") {
      c->installer_cu = value;
    }
  }
}

struct Special {
  const char* version;
  Start start;
  const char* tail;
  const char* arrange;
  const char* expect;  // overrides of the clean expectation
  const char* note;
};

constexpr Start Q = Start::kQuoted;
const char* const kDriverOnly = "InstallOption=sz:Install Driver Only";

const Special kSpecials[] = {
    // Version 6.1 is none of the four families: staged, but nothing
    // dispatched, no setup started, the marker key left, no wait.
    {"win7", Q, "", "", "", "other family"},
    {"win7", Q, "-gina /S /I1", "L.GinaInstallOption=sz:0", "L=GinaInstallOption=sz:0",
     "other family writes and moves no setting"},

    // Staging.
    {"winxp", Start::kBlanks, "/S /I1", "", "", "package folder with blanks"},
    {"win98", Start::kBlanks, "/S /I3", "", "", "package folder with blanks"},
    {"winxp", Start::kUnquoted, "-gina", "", "", "unquoted program path"},
    {"win2k", Start::kTabs, "/S /I3", "", "", "tabs between program and option"},
    {"winxp", Start::kBareName, "/S /I1", "", "", "bare program name in the package folder"},
    {"win2k", Q, "", "stale", "", "read-only leftovers replaced, old setup.iss gone"},
    {"winxp", Q, "/S /I3", "stale", "", "read-only leftovers, new setup.iss"},
    {"winxp", Q, "/S /I1 \\x", "", "staged=0;iss=none",
     "backslash in the argument: nothing staged, no setup, no wait"},

    // Tails matched whole, without regard to ASCII case.
    {"winxp", Q, "/s /i1", "", "", "lower case tail"},
    {"winxp", Q, "-WM=12 /s /i3", "", "", "mixed case tail"},
    {"winxp", Q, "/S /I6", "", "", "tail not in the table"},
    {"win2k", Q, "/S  /I1", "", "", "two blanks: not an option"},
    {"win2k", Q, "/S /I1 ", "", "", "trailing blank: not an option"},
    {"win98", Q, "-wm=5", "", "", "tail not in the table"},

    // Settings carry-over on 2000 and XP only.
    {"winxp", Q, "", "L.GinaInstallOption=sz:1;L.SilentLeapOption=sz:1;L.wModeSelect=dw:12",
     "S=GinaInstallOption=sz:1,SilentLeapOption=sz:1,XRStatus=sz:0,wModeSelect=dw:12;L=",
     "legacy settings moved"},
    {"win2k", Q, "-wm=4 /S /I1",
     "S.GinaInstallOption=sz:0;S.wModeSelect=dw:4;L.GinaInstallOption=sz:1;L.wModeSelect=dw:13",
     "S=GinaInstallOption=sz:0,XRStatus=sz:0,wModeSelect=dw:4;L=GinaInstallOption=sz:1",
     "current GINA kept, legacy mode moved, then the option's mode"},
    {"winxp", Q, "-XR", "S.XRStatus=sz:0;S.GinaInstallOption=esz:0",
     "S=GinaInstallOption=sz:0,XRStatus=sz:1", "setter over defaults, REG_EXPAND_SZ rewritten"},
    {"win98", Q, "-gina /S /I1", "L.GinaInstallOption=sz:1;L.wModeSelect=dw:12",
     "L=GinaInstallOption=sz:1,wModeSelect=dw:12", "9x: legacy settings left alone"},

    // Install-type query of the update and uninstall options.
    {"winxp", Q, "/S /UPDATE", "U.InstallOption=sz:Install Driver Only",
     "iss=SUPDATEDA.iss;U=;I=InstallOption=sz:Install Driver Only",
     "driver-only under HKCU moved to HKLM"},
    {"win2k", Q, "/S /UNINSTALL", "I.InstallOption=sz:Install Driver Only",
     "iss=SUNINSTALLDA.iss;I=InstallOption=sz:Install Driver Only", "driver-only under HKLM"},
    {"win98", Q, "/S /UPDATE", "U.InstallOption=sz:Install Driver Only",
     "iss=SUPDATEDA.iss;U=;I=InstallOption=sz:Install Driver Only", "9x asks the install type"},
    {"winxp", Q, "-gina /S /UPDATE", "I.InstallOption=sz:install driver only",
     "iss=SUPDATE.iss;I=InstallOption=sz:install driver only", "install type is case-sensitive"},
    {"winxp", Q, "/S /UNINSTALL", "I;U.InstallOption=sz:Install Driver Only",
     "iss=SUNINSTALL.iss;I=;U=InstallOption=sz:Install Driver Only",
     "HKLM key without value: HKCU not consulted"},

    // Completion wait and the write-block-size fix.
    {"winxp", Q, "/S /I1 /wbs", "adapters;hold=3000", "", "adapters fixed while waiting"},
    {"winxp", Q, "/S /I1", "adapters;hold=3000", "", "no /wbs: adapters untouched"},
    {"win2k", Q, "/S /UPDATE /wbs", "adapters;hold=3000", "", "adapters fixed while waiting"},
    {"win98", Q, "/wbs", "adapters;hold=3000", "", "9x: plain start, adapters still fixed"},
    {"win7", Q, "/S /I1 /wbs", "adapters;hold=3000", "", "other family: no wait, no fix"},
};

// Started from the network share (cases.h), as a login script starts it.
struct OnShare {
  const char* version;
  Start start;
  const char* folder;
  const char* tail;
  const char* expect;
  const char* note;
};

constexpr Start U = Start::kUnquoted;
const OnShare kOnShare[] = {
    {"winxp", Q, kShareFolder, "-gina /S /I1", "", "started from a share"},
    {"winxp", U, kShareFolder, "-gina /S /I1", "", "started from a share, unquoted"},
    {"win98", U, "\\\\e2esrv\\netlogon\\wlan", "/S /I1", "",
     "started from a share, unquoted, names in lower case"},
    {"win98", Start::kBlanks, kShareFolderBlanks, "/S /I3", "", "share folder with blanks"},
    {"win2k", Q, kShareFolder, "/S /I1", "", "started from a share"},
    {"win2k", Start::kBlanks, kShareFolderBlanks, "-gina /S /I3", "",
     "share folder with blanks"},
    // As Windows starts an unquoted path with blanks: the launcher of the
    // folder with blanks runs, its tail starting within the path.
    {"winxp", U, kShareFolderBlanks, "/S /I1", "iss=plain",
     "share folder with blanks, unquoted: staged, no option"},
    {"winxp", Q, kShareRoot, "/S /I3", "", "package at a share's root"},
    {"win2k", U, kShareRoot, "-wm=12 /S /I3", "", "package at a share's root, unquoted"},
};

Case Build(const std::string& version, Start start, const std::string& tail,
           const std::string& arrange, const std::string& expect,
           const std::string& note) {
  Case c = Clean(version, tail, start);
  c.arrange = arrange;
  c.note = note;
  Override(&c, expect);
  return c;
}

}  // namespace

int OptionNumber(const std::string& tail) {
  for (int i = 0; i < 44; ++i) {
    if (Lower(tail) == Lower(kOptions[i])) return i + 1;
  }
  return 0;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  // Dispatch: every option on XP and on 9x; on 2000 the rows where it
  // differs from XP, and a few that agree.
  for (const char* version : {"winxp", "win98"}) {
    for (const char* option : kOptions) {
      cases.push_back(Build(version, Start::kQuoted, option, "", "", "dispatch"));
    }
  }
  for (int number : {1, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 15, 16, 22, 35, 44}) {
    cases.push_back(Build("win2k", Start::kQuoted, kOptions[number - 1], "", "", "dispatch"));
  }
  for (const Special& s : kSpecials) {
    cases.push_back(Build(s.version, s.start, s.tail, s.arrange, s.expect, s.note));
  }
  for (const OnShare& s : kOnShare) {
    cases.push_back(Build(s.version, s.start, s.tail, "", s.expect, s.note));
    cases.back().folder = s.folder;
  }
  return cases;
}

std::vector<Case> DemoCases() {
  return {
      Build("winxp", Q, "-gina /S /I1",
            "L.GinaInstallOption=sz:0;L.SilentLeapOption=sz:1;L.wModeSelect=dw:13", "",
            "XP, older settings present"),
      Build("win98", Q, "/S /UPDATE", "", "", "Windows 98 update"),
      Build("winxp", Q, "/S /I1 /wbs", "adapters;hold=3000", "",
            "XP, adapters installed while the launcher waits"),
      Build("win7", Q, "-gina", "", "", "a version the launcher does not serve"),
  };
}

namespace {

// Code page 932 bytes. 0x95 0x5C and 0xE9 0x5C end in a backslash byte;
// 0xB1 is a single-byte character between the two lead-byte ranges.
const std::string kTrail5C = "\x95\x5C";        // U+8868
const std::string kSecondRange5C = "\xE9\x5C";  // U+9945
const std::string kPlainPair = "\x83\x41";      // U+30A2
const std::string kHalfWidth = "\xB1";           // U+FF71
const std::string kPairFolder = "C:\\e2e\\" + kTrail5C + "pkg";
const std::string kPairOnlyFolder = "C:\\e2e\\" + kTrail5C;

Case OnCodePage(const std::string& version, Start start, const std::string& tail,
                const std::string& folder, const std::string& line, const std::string& expect,
                const std::string& note) {
  Case c = Build(version, start, tail, "", expect, note);
  c.code_page = 932;
  c.folder = folder;
  c.command_line = line;
  return c;
}

std::string Quoted(const std::string& program, const std::string& tail) {
  return "\"" + program + "\" " + tail;
}

}  // namespace

std::vector<std::string> CodePageFolders() { return {kPairFolder, kPairOnlyFolder}; }

std::vector<std::string> CodePagePrograms() {
  return {kTrail5C + ".exe", kHalfWidth + ".exe", kSecondRange5C + ".exe"};
}

std::vector<Case> CodePageCases() {
  const std::string launcher = kPairFolder + "\\launcher.exe";
  return {
      OnCodePage("winxp", Q, "-gina /S /I1", kPairFolder, Quoted(launcher, "-gina /S /I1"), "",
                 "package folder holding a trail byte 0x5C"),
      OnCodePage("win98", Q, "/S /I1", kPairFolder, Quoted(launcher, "/S /I1"), "",
                 "package folder holding a trail byte 0x5C"),
      OnCodePage("winxp", Q, "/S /I1", kPairOnlyFolder,
                 Quoted(kPairOnlyFolder + "\\launcher.exe", "/S /I1"), "",
                 "trail byte 0x5C right before the folder's backslash"),
      OnCodePage("winxp", Start::kUnquoted, "-gina", kPairFolder, launcher + " -gina", "",
                 "unquoted program path with a double-byte folder"),
      // A double-byte character never matches an option.
      OnCodePage("winxp", Q, "-gina /S /I1 " + kPlainPair, kPairFolder,
                 Quoted(launcher, "-gina /S /I1 " + kPlainPair), "",
                 "option followed by a double-byte character: none"),
      // The last backslash byte is searched without regard to lead bytes.
      OnCodePage("winxp", Q, "-gina /S /I1 " + kTrail5C, kPairFolder,
                 Quoted(launcher, "-gina /S /I1 " + kTrail5C), "staged=0;iss=none",
                 "trail byte 0x5C in the argument moves the source folder"),
      // The program is started by its name without .exe, so that the pair
      // ends right before the closing quote: the lead byte takes the 0x5C
      // along, and the quote still closes the program path; the source
      // folder ends at that 0x5C.
      OnCodePage("winxp", Q, "-gina /S /I1", kPairFolder,
                 Quoted(kPairFolder + "\\" + kTrail5C, "-gina /S /I1"), "staged=0;iss=none",
                 "trail byte 0x5C before the closing quote"),
      OnCodePage("winxp", Q, "-XR", kPairFolder,
                 Quoted(kPairFolder + "\\" + kSecondRange5C, "-XR"), "staged=0;iss=none",
                 "lead byte of the second range, trail 0x5C before the closing quote"),
      OnCodePage("winxp", Q, "-gina /S /I1", kPairFolder,
                 Quoted(kPairFolder + "\\" + kHalfWidth, "-gina /S /I1"), "",
                 "0xB1 before the closing quote is no lead byte"),
  };
}

}  // namespace e2e
