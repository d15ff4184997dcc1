// Runs the real launcher.exe through the end-to-end cases, all inside one
// Wine session: for each case it resets the machine, arranges the case's
// registry and files, makes Wine report the case's Windows version, starts
// the launcher with the exact command line, and checks what it left. It
// keeps each case's registry exports and facts in C:\e2e\records (records.h).
//
//   runner.exe [--demo] [--slack=<ms>] [--timeout=<s>] [--only=<n>[,<n>...]]
//              [--shard=<k>/<n>] [--codepage=932]
//              <package folder> <package folder with blanks>
//
// With --codepage it runs the code page cases instead of the matrix (cases.h),
// after checking that Wine's ANSI code page is that one.
//
// Prints "ok N - ..." or "not ok N - ... : reason" per case, then
// "<passed> passed, <failed> failed"; exits 0 only when all passed. With
// --demo it runs a few showcase cases and prints what it saw instead.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "adapter/write_block_size.h"
#include "tests/e2e/cases.h"
#include "tests/e2e/e2e_paths.h"
#include "tests/e2e/records.h"
#include "tests/e2e/world.h"

namespace e2e {
namespace {

struct Config {
  std::string package;         // e.g. C:\e2e\pkg
  std::string package_blanks;  // e.g. C:\e2e\pkg with blanks\Disk 1
  unsigned long slack_ms = 1500;  // beyond the 2000 ms poll interval
  unsigned long timeout_ms = 60000;
  std::set<int> only;
  // Cases whose number minus one leaves k divided by n, so that n sessions
  // side by side share the matrix.
  int shard = 0;
  int shards = 1;
  bool demo = false;
  std::string fidelity;  // the folder of the random machines, or ""
  int code_page = 0;     // runs CodePageCases under this ANSI code page
};

// Staged name -> name in the package.
const char* const kPackageFiles[][2] = {
    {"layout.bin", "layout.bin"},
    {"data1.cab", "data1.cab"},
    {"data2.cab", "data2.cab"},
    {"ikernel.ex_", "ikernel.ex_"},
    {"data1.hdr", "data1.hdr"},
    {"setup.ini", "setup.ini"},
    {"setup.inx", "setup.inx"},
    {"CorvaneAdminConfig.dat", "CorvaneAdminConfig.dat"},
    {"setup.exe", "data3.cab\\setup.iss"},
};

// Adapter entries of the "adapters" cases. The first five are there before
// the launcher starts, the rest are created by the setup while it waits.
struct Adapter {
  const char* subkey;
  std::string component_id;  // "" for an entry without ComponentId
  bool matches;
  const char* write_block_size;  // value before the run, "" for none
};

std::string Cut(const char* text, size_t n) { return std::string(text).substr(0, n); }

std::vector<Adapter> Adapters() {
  const char* const* ids = adapter::kHardwareIds;
  return {
      {"9000", ids[0], true, ""},
      {"9001", Lower(ids[3]), true, ""},
      {"9002", "PCI\\VEN_FC7A&DEV_1004&SUBSYS_0001FC7A", false, ""},
      {"9003", "", false, ""},
      {"9004", ids[4], true, "dw:0"},
      {"9010", std::string(ids[5]) + "&REV_01", true, ""},
      {"9011", Cut(ids[1], 36), false, ""},
      {"9012", ids[2], true, ""},
      {"9013", "PCI\\VEN_1234&DEV_1001&SUBSYS_0001FC7A", false, ""},
  };
}
constexpr size_t kEarlyAdapters = 5;

KeyRef AdapterKey(const Adapter& a, std::string* path) {
  *path = std::string(kAdapterClassKey) + "\\" + a.subkey;
  return {HKEY_LOCAL_MACHINE, path->c_str()};
}

std::string SystemFolder() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, sizeof buffer);
  return buffer;
}

std::string StagingFolder() { return SystemFolder() + "\\SilentSetup"; }

std::string Word(const std::string& arrange, const std::string& word) {
  size_t from = 0;
  while (from < arrange.size()) {
    size_t end = arrange.find(';', from);
    if (end == std::string::npos) end = arrange.size();
    const std::string item = arrange.substr(from, end - from);
    from = end + 1;
    if (item == word) return "yes";
    if (item.compare(0, word.size() + 1, word + "=") == 0) return item.substr(word.size() + 1);
  }
  return "";
}

// Registry items of the arrangement, without the words.
std::string RegistryItems(const std::string& arrange) {
  std::string items;
  size_t from = 0;
  while (from < arrange.size()) {
    size_t end = arrange.find(';', from);
    if (end == std::string::npos) end = arrange.size();
    const std::string item = arrange.substr(from, end - from);
    from = end + 1;
    if (item == "stale" || item == "adapters" || item.compare(0, 5, "hold=") == 0) continue;
    items += item + ";";
  }
  return items;
}

// ---- The machine ------------------------------------------------------------

std::string ResetWorld() {
  DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\VERDO Installer");
  DeleteTree(HKEY_CURRENT_USER, "Software\\VERDO Installer");
  DeleteTree(HKEY_LOCAL_MACHINE, kMarkerKey);
  DeleteTree(HKEY_LOCAL_MACHINE, kControlKey);
  for (const Adapter& a : Adapters()) {
    std::string path;
    DeleteTree(HKEY_LOCAL_MACHINE, AdapterKey(a, &path).path);
  }
  DeleteFileA(kSetupLog);
  DeleteFolder(StagingFolder());
  if (FolderExists(StagingFolder())) return "cannot remove the staging folder";
  if (GetFileAttributesA(kSetupLog) != INVALID_FILE_ATTRIBUTES) return "cannot remove the setup log";
  for (char letter : std::string("SLIUMC")) {
    KeyRef key;
    if (KeyByLetter(letter, &key) && KeyExists(key)) return std::string("cannot remove key ") + letter;
  }
  return "";
}

bool SetVersion(const std::string& program, const std::string& version) {
  const std::string path = "Software\\Wine\\AppDefaults\\" + program;
  RegValue value;
  return ParseValue("sz:" + version, &value) &&
         WriteValue({HKEY_CURRENT_USER, path.c_str()}, "Version", value);
}

std::string Arrange(const Case& c) {
  std::string error = e2e::Arrange(RegistryItems(c.arrange));
  if (!error.empty()) return error;

  if (!Word(c.arrange, "stale").empty()) {
    // What an earlier run may leave: all ten staged names, read-only.
    const std::string folder = StagingFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const auto& file : kPackageFiles) {
      const std::string path = folder + "\\" + file[0];
      if (!WriteWholeFile(path, std::string("stale ") + file[0] + "\r\n")) return "cannot write " + path;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    const std::string iss = folder + "\\setup.iss";
    if (!WriteWholeFile(iss, "stale setup.iss\r\n")) return "cannot write " + iss;
    SetFileAttributesA(iss.c_str(), FILE_ATTRIBUTE_READONLY);
  }

  std::string script;
  if (!Word(c.arrange, "adapters").empty()) {
    const std::vector<Adapter> adapters = Adapters();
    for (size_t i = 0; i < adapters.size(); ++i) {
      const Adapter& a = adapters[i];
      if (i >= kEarlyAdapters) {
        script += std::string(script.empty() ? "sleep:500;" : "") + "adapter:" + a.subkey + ":" +
                  a.component_id + ";";
        continue;
      }
      std::string path;
      const KeyRef key = AdapterKey(a, &path);
      RegValue value;
      (void)ParseValue(a.component_id.empty() ? "sz:Sample adapter without id" : "sz:" + a.component_id, &value);
      if (!WriteValue(key, a.component_id.empty() ? "DriverDesc" : "ComponentId", value)) {
        return std::string("cannot create adapter ") + a.subkey;
      }
      if (*a.write_block_size && (!ParseValue(a.write_block_size, &value) ||
                                  !WriteValue(key, "writeBlockSize", value))) {
        return std::string("cannot set writeBlockSize on ") + a.subkey;
      }
    }
  }
  const std::string hold = Word(c.arrange, "hold");
  if (!hold.empty()) script += "sleep:" + hold + ";";
  if (!script.empty()) {
    RegValue value;
    (void)ParseValue("sz:" + script, &value);
    if (!WriteValue({HKEY_LOCAL_MACHINE, kControlKey}, "Script", value)) return "cannot write the script";
  }

  // The collection script's ver and the live preview see the case's
  // version too.
  std::vector<std::string> programs = {"launcher.exe", "setup.exe", "cmd.exe",
                                       "launcher-preview.exe"};
  // The launcher under its other names too: Wine reports versions by name.
  if (c.code_page != 0) {
    for (const std::string& name : CodePagePrograms()) programs.push_back(name);
  }
  for (const std::string& program : programs) {
    if (!SetVersion(program, c.version)) return "cannot set the Windows version";
  }
  return "";
}

// The reset strictly before the arrangement: one expression joining the two
// would leave their order to the compiler.
std::string Prepare(const Case& c) {
  const std::string error = ResetWorld();
  if (!error.empty()) return error;
  return Arrange(c);
}

// ---- One run ------------------------------------------------------------------

struct SetupRecord {
  unsigned long pid = 0;
  unsigned long start_tick = 0;
  bool marker = false;
  unsigned long version = 0;
  std::string command;
  std::string iss;
  bool ended = false;
  unsigned long end_tick = 0;
};

struct Run {
  bool started = false;
  bool timed_out = false;
  DWORD exit_code = 0;
  unsigned long start_tick = 0;
  unsigned long end_tick = 0;
  std::vector<SetupRecord> setups;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t from = 0;
  while (true) {
    const size_t tab = line.find('\t', from);
    fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) break;
    from = tab + 1;
  }
  return fields;
}

std::vector<SetupRecord> ReadSetupLog() {
  std::vector<SetupRecord> records;
  std::string text;
  if (!ReadWholeFile(kSetupLog, &text)) return records;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::vector<std::string> f = SplitTabs(text.substr(from, end - from));
    from = end + 2;
    if (f[0] == "start" && f.size() == 7) {
      SetupRecord r;
      r.pid = std::strtoul(f[1].c_str(), nullptr, 10);
      r.start_tick = std::strtoul(f[2].c_str(), nullptr, 10);
      r.marker = f[3] == "1";
      r.version = std::strtoul(f[4].c_str(), nullptr, 16);
      r.command = f[5];
      r.iss = f[6];
      records.push_back(r);
    } else if (f[0] == "end" && f.size() == 3) {
      for (SetupRecord& r : records) {
        if (r.pid == std::strtoul(f[1].c_str(), nullptr, 10)) {
          r.ended = true;
          r.end_tick = std::strtoul(f[2].c_str(), nullptr, 10);
        }
      }
    }
  }
  return records;
}

// How the launcher is started for a case.
struct Invocation {
  std::string command_line;
  std::string current_dir;
  std::string package;  // the folder holding launcher.exe and the package
  std::string program;  // when not "", the program started with that line
};

// The folder the case's package lies in.
std::string PackageOf(const Case& c, const Config& config) {
  if (!c.folder.empty()) return c.folder;
  return c.start == Start::kBlanks ? config.package_blanks : config.package;
}

Invocation Plan(const Case& c, const Config& config) {
  Invocation how;
  if (!c.command_line.empty()) {
    how.command_line = c.command_line;
    how.package = c.folder;
    how.current_dir = "C:\\e2e";
    return how;
  }
  how.package = PackageOf(c, config);
  const std::string tail = c.tail.empty() ? "" : " " + c.tail;
  const std::string program = how.package + "\\launcher.exe";
  switch (c.start) {
    case Start::kQuoted:
    case Start::kBlanks: how.command_line = "\"" + program + "\"" + tail; break;
    case Start::kUnquoted:
      how.command_line = program + tail;
      // Windows hands the line over as given, but Wine's CreateProcessA
      // quotes an unquoted path with blanks when it finds the program
      // itself; it keeps the line of a program named.
      if (program.find(' ') != std::string::npos) how.program = program;
      break;
    case Start::kTabs: how.command_line = "\"" + program + "\"\t\t" + c.tail; break;
    case Start::kBareName: how.command_line = "launcher.exe" + tail; break;
  }
  // A bare program name is found in the starting process's current folder.
  how.current_dir = c.start == Start::kBareName ? how.package : "C:\\e2e";
  return how;
}

// Waits for a process by id, ending it after the limit.
void Reap(unsigned long pid, DWORD limit_ms) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  if (process == nullptr) return;
  if (WaitForSingleObject(process, limit_ms) == WAIT_TIMEOUT) TerminateProcess(process, 1);
  CloseHandle(process);
}

Run Launch(const Invocation& how, const Config& config) {
  Run run;
  std::vector<char> writable(how.command_line.begin(), how.command_line.end());
  writable.push_back('\0');

  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(how.current_dir.c_str());

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  run.start_tick = GetTickCount();
  run.started = CreateProcessA(how.program.empty() ? nullptr : how.program.c_str(),
                               writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               how.current_dir.c_str(), &startup, &process) != FALSE;
  SetCurrentDirectoryA(previous);
  if (!run.started) return run;

  if (WaitForSingleObject(process.hProcess, config.timeout_ms) == WAIT_TIMEOUT) {
    run.timed_out = true;
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
  }
  run.end_tick = GetTickCount();
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  // The setup removes the marker key just before it ends; let it end before
  // the next case clears its folder.
  for (const SetupRecord& r : ReadSetupLog()) Reap(r.pid, 15000);
  run.setups = ReadSetupLog();
  return run;
}

// ---- Checks -----------------------------------------------------------------

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

std::string Family(unsigned long version) {
  if (version >= 0x80000000UL) return "win98";
  if ((version & 0xFFFF) == 0x0005) return "win2k";
  if ((version & 0xFFFF) == 0x0105) return "winxp";
  return "win7";
}

void Check(std::vector<std::string>* failures, bool ok, const std::string& reason) {
  if (!ok) failures->push_back(reason);
}

void CheckStaged(const Case& c, const Config& config, std::vector<std::string>* failures) {
  const std::string folder = StagingFolder();
  std::vector<std::string> expected;
  if (c.staged) {
    for (const auto& file : kPackageFiles) expected.push_back(Lower(file[0]));
    if (c.response != kPlain && c.response != kNoSetup) expected.push_back("setup.iss");
  }
  std::set<std::string> want(expected.begin(), expected.end());
  std::set<std::string> have;
  for (const std::string& name : ListFolder(folder)) have.insert(Lower(name));
  if (want != have) {
    std::string list;
    for (const std::string& name : have) list += (list.empty() ? "" : " ") + name;
    failures->push_back("staging folder holds {" + list + "}");
    return;
  }
  if (!c.staged) return;
  const std::string package = PackageOf(c, config);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& file : kPackageFiles) pairs.push_back({file[0], file[1]});
  if (want.count("setup.iss")) pairs.push_back({"setup.iss", "data3.cab\\" + c.response});
  for (const auto& pair : pairs) {
    std::string staged, source;
    const bool read = ReadWholeFile(folder + "\\" + pair.first, &staged) &&
                      ReadWholeFile(package + "\\" + pair.second, &source);
    Check(failures, read && staged == source,
          "staged " + pair.first + " is not the package's " + pair.second + " (\"" +
              FirstLine(staged).substr(0, 40) + "\")");
  }
}

void CheckSetup(const Case& c, const Config& config, const Run& run,
                std::vector<std::string>* failures) {
  if (c.response == kNoSetup) {
    Check(failures, run.setups.empty(), "a setup was started");
    return;
  }
  if (run.setups.size() != 1) {
    failures->push_back(std::to_string(run.setups.size()) + " setup runs, expected 1");
    return;
  }
  const SetupRecord& setup = run.setups[0];
  const std::string command = "\"" + StagingFolder() + "\\setup.exe\"" +
                              (c.response == kPlain ? "" : " /s");
  Check(failures, setup.command == command, "setup started as [" + setup.command + "]");
  std::string iss = "<none>";
  if (c.response != kPlain) {
    std::string bytes;
    const std::string package = PackageOf(c, config);
    if (ReadWholeFile(package + "\\data3.cab\\" + c.response, &bytes)) iss = FirstLine(bytes);
  }
  Check(failures, setup.iss == iss, "setup saw setup.iss \"" + setup.iss + "\", expected \"" + iss + "\"");
  Check(failures, setup.marker, "marker key absent while the setup ran");
  Check(failures, Family(setup.version) == c.version,
        "Wine reported the setup a version of family " + Family(setup.version));
  Check(failures, setup.ended, "the setup did not end");
  if (setup.ended && !run.timed_out) {
    // The launcher notices the removed key at its next poll.
    const long after = static_cast<long>(run.end_tick - setup.end_tick);
    Check(failures, after >= 0, "the launcher ended before the marker key was removed");
    Check(failures, after <= static_cast<long>(2000 + config.slack_ms),
          "the launcher ended " + std::to_string(after) + " ms after the marker key was removed");
  }
}

void CheckAdapters(const Case& c, std::vector<std::string>* failures) {
  if (Word(c.arrange, "adapters").empty()) return;
  for (const Adapter& a : Adapters()) {
    std::string path;
    const KeyRef key = AdapterKey(a, &path);
    RegValue value;
    const std::string actual = ReadValue(key, "writeBlockSize", &value) ? FormatValue(value) : "-";
    std::string expected = *a.write_block_size ? a.write_block_size : "-";
    if (a.matches && c.adapters_fixed) expected = "sz:1";
    Check(failures, actual == expected,
          std::string("adapter ") + a.subkey + " writeBlockSize " + actual + ", expected " + expected);
  }
}

std::vector<std::string> Verify(const Case& c, const Config& config, const Run& run) {
  std::vector<std::string> failures;
  if (!run.started) return {"launcher.exe did not start"};
  Check(&failures, !run.timed_out, "no end within " + std::to_string(config.timeout_ms / 1000) + " s");
  Check(&failures, run.exit_code == 0, "exit code " + std::to_string(run.exit_code));
  KeyRef marker;
  (void)KeyByLetter('M', &marker);
  const bool marker_expected = c.response == kNoSetup;
  Check(&failures, KeyExists(marker) == marker_expected,
        marker_expected ? "marker key gone" : "marker key still present");
  CheckStaged(c, config, &failures);
  CheckSetup(c, config, run, &failures);
  const struct { char letter; const std::string* expected; } keys[] = {
      {'S', &c.settings}, {'L', &c.legacy}, {'I', &c.installer_lm}, {'U', &c.installer_cu}};
  for (const auto& key : keys) {
    if (*key.expected == kUnchecked) continue;
    const std::string difference = CompareKey(key.letter, *key.expected);
    if (!difference.empty()) failures.push_back(difference);
  }
  CheckAdapters(c, &failures);
  if (c.response == kNoSetup && !run.timed_out) {
    // Nothing to wait for: the launcher ends as soon as it has staged.
    Check(&failures, run.end_tick - run.start_tick <= 2000 + config.slack_ms,
          "took " + std::to_string(run.end_tick - run.start_tick) + " ms without a setup to wait for");
  }
  return failures;
}

std::string Seconds(unsigned long ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
  return text;
}

std::string Describe(const Case& c) {
  static const char* const kStarts[] = {"", " [blanks]", " [unquoted]", " [tabs]", " [bare name]"};
  std::string text = c.version + " \"" + c.tail + "\"" + kStarts[static_cast<int>(c.start)];
  if (!c.note.empty()) text += " " + c.note;
  return text;
}

// ---- Records -----------------------------------------------------------------

// What a host tool needs besides the exports. Taken after the run and before
// any check; run is null when the launcher was not started.
std::string Joined(const std::vector<std::string>& failures) {
  std::string reasons;
  for (const std::string& f : failures) reasons += (reasons.empty() ? "" : "; ") + f;
  return reasons;
}

// What the staging folder holds after the run, and how each setup started.
void AddStagedAndSetups(const Run& run, Record* r) {
  for (const std::string& file : ListFolder(StagingFolder())) r->Add("staged", file);
  for (const SetupRecord& s : run.setups) {
    r->Add("setup", s.command);
    r->Add("setup_iss", s.iss);
  }
}

// The verdict ends the record, which is then written.
void CloseRecord(const std::string& records, Record* record, std::vector<std::string>* failures) {
  record->Add("result", failures->empty() ? "ok" : "not ok: " + Joined(*failures));
  if (!WriteWholeFile(records + "\\record.txt", record->Text())) {
    failures->push_back("cannot write " + records + "\\record.txt");
  }
}

Record Facts(const Case& c, const std::string& name, const Invocation& how, const Run* run) {
  Record r;
  r.Add("case", name);
  r.Add("version", c.version);
  r.Add("note", c.note);
  r.Add("command_line", how.command_line);
  r.Add("current_dir", how.current_dir);
  r.Add("package", how.package);
  if (!how.program.empty()) r.Add("program", how.program);
  r.Add("system_dir", SystemFolder());
  if (c.code_page != 0) r.Add("codepage", std::to_string(c.code_page));
  if (run == nullptr) return r;
  AddStagedAndSetups(*run, &r);
  // Adapter keys that came from the setup's script, not from the launcher.
  if (!Word(c.arrange, "adapters").empty() && !run->setups.empty()) {
    const std::vector<Adapter> adapters = Adapters();
    for (size_t i = kEarlyAdapters; i < adapters.size(); ++i) {
      std::string path;
      if (KeyExists(AdapterKey(adapters[i], &path))) r.Add("setup_created", path);
    }
  }
  if (run->started) r.Add("exit_code", std::to_string(run->exit_code));
  return r;
}

// ---- Demo -------------------------------------------------------------------

// The demo's report is kept as well as printed.
void Say(std::string* report, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (size > 0) {
    std::vector<char> text(static_cast<size_t>(size) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    report->append(text.data(), static_cast<size_t>(size));
  }
  va_end(again);
}

void PrintKeys(std::string* report, const char* when) {
  static const struct { char letter; const char* name; } kKeys[] = {
      {'S', "settings  HKLM\\SOFTWARE\\Corvane\\NLX\\Settings"},
      {'L', "legacy    HKLM\\SOFTWARE\\Corvane\\Corvane Client Installation Program"},
      {'I', "installer HKLM\\Software\\VERDO Installer\\Setting"},
      {'U', "installer HKCU\\Software\\VERDO Installer\\Setting"},
  };
  Say(report, "  registry %s:\n", when);
  for (const auto& key : kKeys) {
    KeyRef ref;
    (void)KeyByLetter(key.letter, &ref);
    const std::string dump = DumpKey(ref);
    Say(report, "    %-70s %s\n", key.name,
        dump == "-" ? "(no key)" : dump.empty() ? "(no values)" : dump.c_str());
  }
}

void PrintAdapters(std::string* report, const Case& c, const char* when) {
  if (Word(c.arrange, "adapters").empty()) return;
  Say(report, "  adapters %s:\n", when);
  for (const Adapter& a : Adapters()) {
    std::string path;
    const KeyRef key = AdapterKey(a, &path);
    if (!KeyExists(key)) {
      Say(report, "    %s (not installed yet)\n", a.subkey);
      continue;
    }
    RegValue value;
    const std::string wbs = ReadValue(key, "writeBlockSize", &value) ? FormatValue(value) : "-";
    Say(report, "    %s %-45s writeBlockSize %s\n", a.subkey,
        a.component_id.empty() ? "(no ComponentId)" : a.component_id.c_str(), wbs.c_str());
  }
}

void PrintRun(std::string* report, const Case& c, const Run& run) {
  Say(report, "  launcher: %s, exit code %lu, ran %.1f s\n",
      !run.started ? "did not start" : run.timed_out ? "timed out" : "ended",
      run.exit_code, (run.end_tick - run.start_tick) / 1000.0);
  Say(report, "  staged in %s:\n", StagingFolder().c_str());
  for (const std::string& name : ListFolder(StagingFolder())) {
    std::string bytes;
    (void)ReadWholeFile(StagingFolder() + "\\" + name, &bytes);
    const bool text = bytes.compare(0, 2, "MZ") != 0;
    Say(report, "    %-24s %6zu bytes  %s\n", name.c_str(), bytes.size(),
        text ? ("\"" + FirstLine(bytes) + "\"").c_str() : "(program)");
  }
  if (run.setups.empty()) Say(report, "  setup: not started\n");
  for (const SetupRecord& s : run.setups) {
    Say(report, "  setup started as: %s\n  setup found setup.iss: %s\n", s.command.c_str(),
        s.iss.c_str());
    if (s.ended) {
      Say(report, "  setup removed the marker key after %.1f s; the launcher ended %.1f s later\n",
          (s.end_tick - s.start_tick) / 1000.0,
          static_cast<long>(run.end_tick - s.end_tick) / 1000.0);
    }
  }
  PrintKeys(report, "after");
  PrintAdapters(report, c, "after");
  KeyRef marker;
  (void)KeyByLetter('M', &marker);
  Say(report, "  marker key HKLM\\Software\\setup install: %s\n",
      KeyExists(marker) ? "present" : "gone");
}

// The demo shows rather than checks, so its record has no result line.
void Demo(const Case& c, const Config& config, int number) {
  const std::string name = "demo-" + std::to_string(number);
  const Invocation how = Plan(c, config);
  std::string report;
  Say(&report, "\n=== demo %d: %s\n", number, c.note.c_str());
  Say(&report, "  Windows version: %s\n  command line:    %s\n", c.version.c_str(),
      how.command_line.c_str());
  std::string records;
  const std::string folder_error = FreshRecordsFolder(name, &records);
  if (!folder_error.empty()) {
    Say(&report, "  cannot record: %s\n", folder_error.c_str());
    std::fputs(report.c_str(), stdout);
    return;
  }
  Record record = Facts(c, name, how, nullptr);
  std::string error = Prepare(c);
  if (!error.empty()) {
    Say(&report, "  cannot prepare: %s\n", error.c_str());
  } else if (!(error = ExportKeys(records + "\\before")).empty()) {
    Say(&report, "  cannot record: %s\n", error.c_str());
  } else {
    PrintKeys(&report, "before");
    PrintAdapters(&report, c, "before");
    const Run run = Launch(how, config);
    error = ExportKeys(records + "\\after");
    record = Facts(c, name, how, &run);
    PrintRun(&report, c, run);
    if (!error.empty()) Say(&report, "  cannot record: %s\n", error.c_str());
  }
  std::fputs(report.c_str(), stdout);
  if (!WriteWholeFile(records + "\\record.txt", record.Text()) ||
      !WriteWholeFile(records + "\\report.txt", report)) {
    std::printf("  cannot write the record in %s\n", records.c_str());
  }
}

bool ParseArguments(int argc, char** argv, Config* config) {
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--demo") {
      config->demo = true;
    } else if (arg.compare(0, 11, "--fidelity=") == 0) {
      config->fidelity = arg.substr(11);
    } else if (arg.compare(0, 11, "--codepage=") == 0) {
      config->code_page = std::atoi(arg.c_str() + 11);
    } else if (arg.compare(0, 8, "--slack=") == 0) {
      config->slack_ms = std::strtoul(arg.c_str() + 8, nullptr, 10);
    } else if (arg.compare(0, 10, "--timeout=") == 0) {
      config->timeout_ms = 1000 * std::strtoul(arg.c_str() + 10, nullptr, 10);
    } else if (arg.compare(0, 8, "--shard=") == 0) {
      if (std::sscanf(arg.c_str() + 8, "%d/%d", &config->shard, &config->shards) != 2 ||
          config->shards < 1 || config->shard < 0 || config->shard >= config->shards) {
        return false;
      }
    } else if (arg.compare(0, 7, "--only=") == 0) {
      for (const char* p = arg.c_str() + 7; *p;) {
        char* end;
        config->only.insert(static_cast<int>(std::strtol(p, &end, 10)));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p) return false;
      }
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.size() != 2) return false;
  config->package = folders[0];
  config->package_blanks = folders[1];
  return true;
}

// ---- Random machines -------------------------------------------------------------
// Each folder <fidelity>\<k> that fidelity_generate made: the client's keys
// written by regedit /s, the package files it names, then the same run and
// records as a case of the matrix.

std::map<std::string, std::string> ReadFields(const std::string& path) {
  std::map<std::string, std::string> fields;
  std::string text;
  if (!ReadWholeFile(path, &text)) return fields;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    from = end + 2;
    const size_t equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  return bytes;
}

// The machine's package: launcher.exe and the files its masks name, copied
// from the sample package.
std::string PlacePackage(const Config& config, const std::string& folder,
                         unsigned long present, unsigned long read_only) {
  DeleteFolder(folder);
  for (size_t at = folder.find('\\', 3); ; at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  CreateDirectoryA((folder + "\\data3.cab").c_str(), nullptr);
  if (!CopyFileA((config.package + "\\launcher.exe").c_str(), (folder + "\\launcher.exe").c_str(),
                 FALSE)) {
    return "cannot place launcher.exe in " + folder;
  }
  static const char* const kNames[20] = {
      "layout.bin", "data1.cab", "data2.cab", "ikernel.ex_", "data1.hdr",
      "setup.ini", "setup.inx", "CorvaneAdminConfig.dat",
      "data3.cab\\setup.iss", "data3.cab\\SI1.iss", "data3.cab\\SI2.iss",
      "data3.cab\\SI3.iss", "data3.cab\\SI1XP.iss", "data3.cab\\SI3XP.iss",
      "data3.cab\\SI4XP.iss", "data3.cab\\SI5XP.iss", "data3.cab\\SUPDATE.iss",
      "data3.cab\\SUPDATEDA.iss", "data3.cab\\SUNINSTALL.iss", "data3.cab\\SUNINSTALLDA.iss"};
  for (int i = 0; i < 20; ++i) {
    if (((present >> i) & 1) == 0) continue;
    const std::string to = folder + "\\" + kNames[i];
    if (!CopyFileA((config.package + "\\" + kNames[i]).c_str(), to.c_str(), FALSE)) {
      return "cannot place " + to;
    }
    if ((read_only >> i) & 1) SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  return "";
}

int RunFidelity(const Config& config) {
  std::vector<int> numbers;
  for (const std::string& name : ListFolder(config.fidelity)) {
    const int k = std::atoi(name.c_str());
    if (k > 0 && (k - 1) % config.shards == config.shard) numbers.push_back(k);
  }
  std::sort(numbers.begin(), numbers.end());
  int passed = 0, failed = 0;
  for (int k : numbers) {
    const std::string dir = config.fidelity + "\\" + std::to_string(k);
    std::map<std::string, std::string> m = ReadFields(dir + "\\machine.txt");
    Invocation how;
    how.command_line = FromHex(m["command_line_hex"]);
    how.current_dir = m["current_dir"];
    how.package = m["folder"];
    how.program = m["program"];
    std::vector<std::string> failures;
    std::string records;
    std::string error = FreshRecordsFolder(std::to_string(k), &records);
    if (error.empty()) error = ResetWorld();
    if (error.empty()) {
      error = RunProgram(SystemProgram("regedit.exe"),
                         "regedit.exe /s \"" + dir + "\\machine.reg\"", "", 60000);
    }
    if (error.empty()) {
      error = PlacePackage(config, how.package, std::strtoul(m["present"].c_str(), nullptr, 16),
                           std::strtoul(m["read_only"].c_str(), nullptr, 16));
    }
    if (error.empty() && m["staging"] == "folder") CreateDirectoryA(StagingFolder().c_str(), nullptr);
    if (error.empty() && (!SetVersion("launcher.exe", m["version"]) ||
                          !SetVersion("setup.exe", m["version"]))) {
      error = "cannot set the Windows version";
    }
    if (error.empty()) error = ExportKeys(records + "\\before");
    Record record;
    record.Add("case", std::to_string(k));
    record.Add("version", m["version"]);
    record.Add("note", "seed " + m["seed"]);
    record.Add("command_line", how.command_line);
    record.Add("current_dir", how.current_dir);
    record.Add("package", how.package);
    record.Add("program", how.program);
    record.Add("system_dir", SystemFolder());
    if (error.empty()) {
      const Run run = Launch(how, config);
      if (!run.started) failures.push_back("launcher.exe did not start");
      if (run.timed_out) failures.push_back("no end within " + std::to_string(config.timeout_ms / 1000) + " s");
      if (run.started && run.exit_code != 0) failures.push_back("exit code " + std::to_string(run.exit_code));
      const std::string exported = ExportKeys(records + "\\after");
      if (!exported.empty()) failures.push_back(exported);
      AddStagedAndSetups(run, &record);
      if (run.started) record.Add("exit_code", std::to_string(run.exit_code));
    } else {
      failures.push_back(error);
    }
    CloseRecord(records, &record, &failures);
    if (failures.empty()) {
      ++passed;
      std::printf("ok %d - seed %s\n", k, m["seed"].c_str());
    } else {
      ++failed;
      std::printf("not ok %d - seed %s : %s\n", k, m["seed"].c_str(), Joined(failures).c_str());
    }
  }
  (void)ResetWorld();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}

// ---- The preview in the field --------------------------------------------------
// On these cases, just before the launcher starts, the collection script
// runs in Wine's cmd and the Windows build of the preview plans the machine
// live, and its collected folder in a fleet; right after the run the script
// collects again. The host then checks them against the real run. Case 135
// starts the launcher from the share.
const std::set<int> kFieldCases = {22, 57, 100, 121, 122, 125, 127, 130, 135};

// One argument as the C runtime splits a command line back into argv.
std::string Argument(const std::string& text) {
  std::string quoted = "\"";
  size_t slashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
    slashes = 0;
    quoted += c;
  }
  quoted.append(2 * slashes, '\\');
  return quoted + "\"";
}

// The names --tail-for takes.
const char* FamilyName(const std::string& version) {
  return version == "win98" ? "9x" : version == "win2k" ? "2000" : version == "winxp" ? "xp" : "other";
}

// The collected folder as <records>\<parent>\field (records.h).
std::string PlaceCollected(const std::string& records, const std::string& parent) {
  for (const std::string& path : {parent, parent + "\\field"}) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) return "cannot make " + path;
  }
  for (const std::string& name : ListFolder(records + "\\field")) {
    if (!CopyFileA((records + "\\field\\" + name).c_str(), (parent + "\\field\\" + name).c_str(),
                   TRUE)) {
      return "cannot copy " + name + " into " + parent;
    }
  }
  return "";
}

// The collected folder in parent folders, one with a machine of another
// family beside it; the Windows build plans the other one under cmd.
std::string FleetOnWindows(const Case& c, const Invocation& how, const std::string& records) {
  const std::string parent = records + "\\" + kFleetFolder;
  const std::string mixed = records + "\\" + kMixedFleetFolder;
  std::string error = PlaceCollected(records, parent);
  if (error.empty()) error = PlaceCollected(records, mixed);
  if (!error.empty()) return error;
  if (!CreateDirectoryA((mixed + "\\decoy").c_str(), nullptr)) {
    return "cannot make " + mixed + "\\decoy";
  }
  // ver as that family's Windows prints it.
  const std::string decoy_ver = c.version == "win98"
                                    ? "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n"
                                    : "\r\nWindows 98 [Version 4.10.2222]\r\n";
  if (!WriteWholeFile(mixed + "\\decoy\\ver.txt", decoy_ver)) {
    return "cannot write the decoy's ver.txt";
  }
  // The tails when the line is "PROGRAM" TAIL, as the host plans it too.
  const std::string program = how.package + "\\launcher.exe";
  const std::string tails =
      how.command_line == "\"" + program + "\"" + (c.tail.empty() ? "" : " " + c.tail)
          ? " --program " + Argument(program) + " --tail-for " +
                Argument(std::string(FamilyName(c.version)) + "=" + c.tail) + " --tail " +
                Argument(OtherTail(c.tail))
          : " --command-line " + Argument(how.command_line);
  // Under cmd, which expands no wildcards; its standard output is the CSV.
  unsigned long code = 0;
  error = RunProgram(SystemProgram("cmd.exe"),
                     "cmd.exe /c C:\\e2e\\bin\\launcher-preview.exe fleet" + tails +
                         " --current-dir " + Argument(how.current_dir) + " --package " +
                         Argument(how.package) + " " + Argument(parent),
                     records + "\\" + kFleetCsv, 60000, &code);
  if (!error.empty()) return "fleet preview: " + error;
  if (code != 0) return "fleet preview: exit code " + std::to_string(code);
  return "";
}

// The collection script under cmd, as an administrator runs it, into folder.
// What it prints, regedit's word on each absent key included, goes to
// <folder>.log beside it.
std::string Collect(const std::string& folder) {
  const std::string error =
      RunProgram(SystemProgram("cmd.exe"), "cmd.exe /c C:\\e2e\\bin\\collect.bat " + folder + " 2>&1",
                 folder + ".log", 60000);
  if (!error.empty()) return "collection script: " + error;
  if (GetFileAttributesA((folder + "\\ver.txt").c_str()) == INVALID_FILE_ATTRIBUTES) {
    return "the collection script wrote no ver.txt in " + folder;
  }
  return "";
}

std::string Field(const Case& c, const Invocation& how, const std::string& records) {
  std::string error = Collect(records + "\\field");
  if (!error.empty()) return error;
  unsigned long code = 0;
  error = RunProgram("C:\\e2e\\bin\\launcher-preview.exe",
                     "launcher-preview.exe plan --live --json --command-line " +
                         Argument(how.command_line) + " --current-dir " +
                         Argument(how.current_dir) + " --package " + Argument(how.package) +
                         " --after " + Argument(records + "\\live-after.reg"),
                     records + "\\live.json", 60000, &code);
  if (!error.empty()) return "live preview: " + error;
  if (code != 0) return "live preview: exit code " + std::to_string(code);
  return FleetOnWindows(c, how, records);
}

// ---- Designed failures --------------------------------------------------------
// After the run of kDesignedCase (records.h), the machine is damaged on
// purpose one way at a time, as a rollout can go wrong, and each state
// collected with the script for the host to judge.

bool DeleteValue(const KeyRef& key, const char* name) {
  HKEY handle;
  if (RegOpenKeyExA(key.root, key.path, 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return false;
  const bool deleted = RegDeleteValueA(handle, name) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return deleted;
}

std::string MachineKey(const std::string& path) { return "HKEY_LOCAL_MACHINE\\" + path; }

// The value changes of one designed failure, undone after its collection.
struct ValueChange {
  std::string path;  // below HKEY_LOCAL_MACHINE
  const char* name;
  std::optional<RegValue> value;  // nullopt: removed
};

std::string ApplyValues(const std::vector<ValueChange>& changes,
                        std::vector<ValueChange>* undo) {
  for (const ValueChange& change : changes) {
    const KeyRef key{HKEY_LOCAL_MACHINE, change.path.c_str()};
    RegValue old;
    undo->push_back({change.path, change.name,
                     ReadValue(key, change.name, &old) ? std::optional<RegValue>(old)
                                                       : std::nullopt});
    const bool done = change.value ? WriteValue(key, change.name, *change.value)
                                   : DeleteValue(key, change.name);
    if (!done) return "cannot change " + MachineKey(change.path) + "\\" + change.name;
  }
  return "";
}

std::string Designed(const Case& c, const std::string& records, Record* record) {
  if (Word(c.arrange, "adapters").empty() || !c.adapters_fixed ||
      (c.version != "winxp" && c.version != "win2k")) {
    return "the case is no /wbs run on 2000 or XP with adapters";
  }
  const std::string root = records + "\\" + kDesignedFolder;
  if (!CreateDirectoryA(root.c_str(), nullptr)) return "cannot make " + root;
  const auto collect = [&](const char* name, const std::vector<std::string>& changes) {
    for (const std::string& change : changes) {
      record->Add("designed", std::string(name) + "|" + change);
    }
    const std::string error = Collect(root + "\\" + name);
    return error.empty() ? error : std::string(name) + ": " + error;
  };
  // Value changes: made, collected, undone.
  const auto with_values = [&](const char* name, const std::vector<ValueChange>& changes) {
    std::vector<ValueChange> undo;
    std::string error = ApplyValues(changes, &undo);
    if (error.empty()) {
      std::vector<std::string> named;
      for (const ValueChange& change : changes) {
        named.push_back("value|" + MachineKey(change.path) + "\\" + change.name);
      }
      error = collect(name, named);
    }
    std::vector<ValueChange> ignored;
    if (!ApplyValues(undo, &ignored).empty() && error.empty()) {
      error = std::string(name) + ": cannot undo";
    }
    return error;
  };

  // A setup that did not finish leaves the marker key.
  const KeyRef marker{HKEY_LOCAL_MACHINE, kMarkerKey};
  HKEY handle;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMarkerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return "cannot make the marker key";
  }
  RegCloseKey(handle);
  std::string error = collect(designed::kNotFinished, {"key|" + MachineKey(kMarkerKey)});
  DeleteTree(HKEY_LOCAL_MACHINE, kMarkerKey);
  if (!error.empty()) return error;
  if (KeyExists(marker)) return "cannot remove the marker key";
  // Its files, for a later collection into the same folder.
  const std::string again = root + "\\" + designed::kAgain;
  if (!CreateDirectoryA(again.c_str(), nullptr)) return "cannot make " + again;
  for (const std::string& name : ListFolder(root + "\\" + designed::kNotFinished)) {
    if (!CopyFileA((root + "\\" + designed::kNotFinished + "\\" + name).c_str(),
                   (again + "\\" + name).c_str(), TRUE)) {
      return "cannot copy " + name + " into " + again;
    }
  }

  // A planned value changed by hand.
  KeyRef settings;
  (void)KeyByLetter('S', &settings);
  RegValue gina;
  if (!ReadValue(settings, "GinaInstallOption", &gina)) return "no GinaInstallOption after the run";
  RegValue other;
  (void)ParseValue(FormatValue(gina) == "sz:1" ? "sz:0" : "sz:1", &other);
  error = with_values(designed::kValueChanged, {{settings.path, "GinaInstallOption", other}});
  if (!error.empty()) return error;

  // A staged file deleted.
  const char* const staged_name = "setup.iss";
  const std::string staged = StagingFolder() + "\\" + staged_name;
  std::string bytes;
  if (!ReadWholeFile(staged, &bytes)) return std::string("no staged ") + staged_name;
  SetFileAttributesA(staged.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(staged.c_str())) return "cannot delete " + staged;
  error = collect(designed::kStagedDeleted, {std::string("file|") + staged_name});
  if (!WriteWholeFile(staged, bytes) && error.empty()) error = "cannot write " + staged + " back";
  if (!error.empty()) return error;

  // writeBlockSize removed from a tuned adapter that was there before the
  // run and from one the setup added.
  std::vector<ValueChange> removals;
  const std::vector<Adapter> adapters = Adapters();
  for (bool early : {true, false}) {
    for (size_t i = 0; i < adapters.size(); ++i) {
      if (!adapters[i].matches || (i < kEarlyAdapters) != early) continue;
      removals.push_back({std::string(kAdapterClassKey) + "\\" + adapters[i].subkey,
                          "writeBlockSize", std::nullopt});
      break;
    }
  }
  error = with_values(designed::kBlockSizeRemoved, removals);
  if (!error.empty()) return error;

  // A value the setup writes, which the plan does not touch.
  RegValue install_dir;
  if (ReadValue(settings, "InstallDir", &install_dir)) return "InstallDir is there after the run";
  (void)ParseValue("sz:C:\\Program Files\\Corvane\\NLX", &install_dir);
  error = with_values(designed::kSetupAdded, {{settings.path, "InstallDir", install_dir}});
  if (!error.empty()) return error;

  // Every change undone: the same state as after the run, collected over
  // the not-finished files.
  error = collect(designed::kAgain, {std::string("over|") + designed::kNotFinished});
  if (!error.empty()) return error;

  // No run at all: the machine as the case arranged it before the run.
  error = Prepare(c);
  if (!error.empty()) return "cannot prepare again: " + error;
  return collect(designed::kNotRun, {"reset|"});
}

// Runs one case of the matrix or of the code page cases and prints its line.
bool RunCase(const Case& c, int number, const Config& config) {
  const std::string name = std::to_string(number);
  const Invocation how = Plan(c, config);
  std::vector<std::string> failures;
  std::string records;
  std::string error = FreshRecordsFolder(name, &records);
  if (error.empty()) {
    error = Prepare(c);
    if (!error.empty()) error = "cannot prepare: " + error;
  }
  if (error.empty()) error = ExportKeys(records + "\\before");
  if (error.empty() && kFieldCases.count(number) != 0) error = Field(c, how, records);
  Run run;
  Record record = Facts(c, name, how, nullptr);
  if (error.empty()) {
    run = Launch(how, config);
    std::string exported = ExportKeys(records + "\\after");
    // The field's collection after the run, at the same moment.
    if (exported.empty() && kFieldCases.count(number) != 0) {
      exported = Collect(records + "\\" + kFieldAfterFolder);
    }
    record = Facts(c, name, how, &run);
    failures = Verify(c, config, run);
    if (!exported.empty()) failures.insert(failures.begin(), exported);
    // Damage on purpose only a machine whose run was right.
    if (failures.empty() && number == kDesignedCase) {
      if (kFieldCases.count(number) == 0) {
        failures.push_back("the designed failures' case is no field case");
      } else {
        const std::string designed = Designed(c, records, &record);
        if (!designed.empty()) failures.push_back("designed failures: " + designed);
      }
    }
  } else {
    failures.push_back(error);
  }
  CloseRecord(records, &record, &failures);
  if (failures.empty()) {
    // The run's length, and how long the launcher outlived the marker key.
    std::string timing = Seconds(run.end_tick - run.start_tick);
    if (run.setups.size() == 1 && run.setups[0].ended) {
      timing += ", ended " + Seconds(run.end_tick - run.setups[0].end_tick) + " after the key";
    }
    std::printf("ok %d - %s (%s)\n", number, Describe(c).c_str(), timing.c_str());
  } else {
    std::printf("not ok %d - %s : %s\n", number, Describe(c).c_str(), Joined(failures).c_str());
  }
  return failures.empty();
}

// The sample package copied into each code page case's folder, and
// launcher.exe under the other names those cases start it by.
std::string PlaceCodePagePackages(const Config& config) {
  for (const std::string& folder : CodePageFolders()) {
    DeleteFolder(folder);
    for (const std::string& sub : {folder, folder + "\\data3.cab"}) {
      if (!CreateDirectoryA(sub.c_str(), nullptr)) return "cannot make " + sub;
    }
    for (const std::string& name : ListFolder(config.package)) {
      const std::string from = config.package + "\\" + name;
      if (FolderExists(from)) continue;
      if (!CopyFileA(from.c_str(), (folder + "\\" + name).c_str(), FALSE)) {
        return "cannot copy " + name + " into " + folder;
      }
    }
    for (const std::string& name : ListFolder(config.package + "\\data3.cab")) {
      if (!CopyFileA((config.package + "\\data3.cab\\" + name).c_str(),
                     (folder + "\\data3.cab\\" + name).c_str(), FALSE)) {
        return "cannot copy data3.cab\\" + name + " into " + folder;
      }
    }
  }
  for (const std::string& name : CodePagePrograms()) {
    const std::string program = CodePageFolders()[0] + "\\" + name;
    if (!CopyFileA((config.package + "\\launcher.exe").c_str(), program.c_str(), FALSE)) {
      return "cannot copy launcher.exe to " + program;
    }
  }
  return "";
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
  using namespace e2e;
  Config config;
  if (!ParseArguments(argc, argv, &config)) {
    std::fprintf(stderr,
                 "usage: runner.exe [--demo] [--slack=ms] [--timeout=s] [--only=n,...] [--shard=k/n] "
                 "[--codepage=932] "
                 "<package> <package with blanks>\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  CreateDirectoryA("C:\\e2e", nullptr);

  if (!config.fidelity.empty()) return RunFidelity(config);
  if (config.demo) {
    int number = 0;
    for (const Case& c : DemoCases()) Demo(c, config, ++number);
    (void)ResetWorld();
    return 0;
  }

  std::vector<Case> cases;
  int first = 1;
  if (config.code_page != 0) {
    // Without the code page the bytes would mean other characters.
    if (GetACP() != static_cast<UINT>(config.code_page)) {
      std::printf("# the ANSI code page is %u, not %d: is the locale generated and set?\n",
                  GetACP(), config.code_page);
      std::printf("0 passed, 1 failed\n");
      return 1;
    }
    const std::string error = PlaceCodePagePackages(config);
    if (!error.empty()) {
      std::printf("# %s\n0 passed, 1 failed\n", error.c_str());
      return 1;
    }
    cases = CodePageCases();
    first = kCodePageFirst;
  } else {
    cases = AllCases();
  }
  int passed = 0;
  int failed = 0;
  const unsigned long begin = GetTickCount();
  for (size_t i = 0; i < cases.size(); ++i) {
    const int number = static_cast<int>(i) + first;
    if (!config.only.empty() && !config.only.count(number)) continue;
    if ((number - first) % config.shards != config.shard) continue;
    (RunCase(cases[i], number, config) ? passed : failed)++;
  }
  (void)ResetWorld();
  std::printf("# %d cases in %.0f s\n", passed + failed, (GetTickCount() - begin) / 1000.0);
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
