// The end-to-end cases: how the launcher is started, what the machine holds
// before, and what it must hold afterwards.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// How the launcher's command line is formed from the package folder.
enum class Start {
  kQuoted,    // "<package>\launcher.exe" <tail>
  kBlanks,    // the same from a package folder whose path has blanks
  kUnquoted,  // <package>\launcher.exe <tail>
  kTabs,      // "<package>\launcher.exe"<tab><tab><tail>
  kBareName,  // launcher.exe <tail>, started in the package folder
};

// A response file name in the package's data3.cab folder, or one of these.
constexpr const char* kPlain = "";     // setup started without a response file
constexpr const char* kNoSetup = "-";  // no setup started at all
constexpr const char* kUnchecked = "*";

struct Case {
  std::string version;  // win98, win2k, winxp, win7
  std::string tail;
  Start start = Start::kQuoted;
  // Registry items (world.h), plus the words "stale" (read-only leftovers of
  // an earlier run in the staging folder), "adapters" (adapter entries before
  // the start and more created by the setup while the launcher waits) and
  // "hold=<ms>" (the setup keeps the marker key that long).
  std::string arrange;

  bool staged = true;  // the nine package files are in the staging folder
  std::string response = kPlain;
  // Expected key contents (world.h) or kUnchecked.
  std::string settings = kUnchecked;
  std::string legacy = kUnchecked;
  std::string installer_lm = kUnchecked;
  std::string installer_cu = kUnchecked;
  bool adapters_fixed = false;  // matching adapters end with writeBlockSize "1"
  std::string note;

  // The package folder, when not one of the runner's own: a folder on the
  // share (kShare...) or a code page case's.
  std::string folder;
  // The code page cases (CodePageCases) only: the ANSI code page they run
  // under and the whole command line, both it and the folder in that code
  // page's bytes; start is then only shown.
  int code_page = 0;
  std::string command_line;
};

// The network share some cases start the launcher from, as login scripts
// do. scripts/e2e.sh maps it in each session's prefix, Wine finding
// \\SERVER\SHARE in dosdevices/unc/<server>/<share> whatever the letter
// case: \\E2ESRV\NETLOGON holds copies of the sample package in "wlan" and
// in "Wireless LAN\Disk 1", \\E2ESRV\WLAN one at its root.
constexpr const char* kShareFolder = "\\\\E2ESRV\\NETLOGON\\wlan";
constexpr const char* kShareFolderBlanks = "\\\\E2ESRV\\NETLOGON\\Wireless LAN\\Disk 1";
constexpr const char* kShareRoot = "\\\\E2ESRV\\WLAN";

std::vector<Case> AllCases();
std::vector<Case> DemoCases();

// Double-byte command lines and package folders under code page 932, in a
// session of their own; numbered from kCodePageFirst so that their records
// sit beside the matrix's.
constexpr int kCodePageFirst = 901;
std::vector<Case> CodePageCases();
// The folders CodePageCases start from, each to hold a copy of the sample
// package, and the other names launcher.exe has in the first of them.
std::vector<std::string> CodePageFolders();
std::vector<std::string> CodePagePrograms();

// The option number (1..44) of a tail, 0 for none.
int OptionNumber(const std::string& tail);

}  // namespace e2e
