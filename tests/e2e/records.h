// What the runner keeps of each case for tools on the host, in
// C:\e2e\records\<case>: the client's keys as Wine's own regedit exports
// them just before the launcher starts (before\) and after it and its setup
// ended (after\), and the facts of the run (record.txt, "key=value" lines,
// a key repeated for a list).
#pragma once

#include <string>

namespace e2e {

constexpr const char* kRecordsFolder = "C:\\e2e\\records";

// On the field cases the collected folder is also "field" in two parent
// folders as an administrator gathers machines in: <case>\fleet alone,
// which the Windows build plans into fleet-win.csv, and <case>\fleet-mixed
// beside "decoy", a machine of another family. Each is planned with the
// case's tail for the case's family only and OtherTail for the rest, so that
// only the choice by family makes the field row right. (The Windows build
// plans one machine at a time only: Wine under qemu-i386 crashes on two
// threads at work.)
constexpr const char* kFleetFolder = "fleet";
constexpr const char* kMixedFleetFolder = "fleet-mixed";
constexpr const char* kFleetCsv = "fleet-win.csv";

// On the field cases the script collects again right after the run, when
// the after\ exports are made, into <case>\field-after.
constexpr const char* kFieldAfterFolder = "field-after";

// On this field case (a /wbs run on XP whose setup adds adapters while the
// launcher waits) the runner then damages the machine on purpose, one way at
// a time, collects each state with the script into <case>\designed\<name>
// and undoes it. record.txt names each change as
// "designed=<name>|<kind>|<what>", kind one of key (made again), value (set,
// removed or added), file (staged file deleted), over (collected over that
// folder's files) and reset (the machine as before the run).
constexpr int kDesignedCase = 130;
constexpr const char* kDesignedFolder = "designed";
namespace designed {
constexpr const char* kNotFinished = "not-finished";  // the marker key made again
// Collected over not-finished's files once every change was undone, so that
// its marker.reg would stay if the script kept earlier files.
constexpr const char* kAgain = "again";
constexpr const char* kValueChanged = "value-changed";  // a planned value set by hand
constexpr const char* kStagedDeleted = "staged-deleted";
constexpr const char* kBlockSizeRemoved = "block-size-removed";
constexpr const char* kSetupAdded = "setup-added";  // a value the plan does not touch
constexpr const char* kNotRun = "not-run";
}  // namespace designed

// A tail that is not the case's option: options match without regard to
// ASCII case.
inline const char* OtherTail(const std::string& tail) {
  std::string lower = tail;
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return lower == "/s /i2" ? "/S /I4" : "/S /I2";
}

class Record {
 public:
  // The value is kept raw.
  void Add(const std::string& key, const std::string& value);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Makes <records>\<name> anew, with empty before and after folders, and
// sets *folder to it. "" or what could not be done.
std::string FreshRecordsFolder(const std::string& name, std::string* folder);

// <system folder>\<name>.
std::string SystemProgram(const std::string& name);
// Runs the program with the command line and waits for it, at most
// limit_ms; its standard output goes to the file output unless that is "".
// "" or what went wrong; *exit_code, when given, gets the exit code.
std::string RunProgram(const std::string& program, const std::string& command_line,
                       const std::string& output, unsigned long limit_ms,
                       unsigned long* exit_code = nullptr);

// Exports each of the recorded keys that exists into <folder>, one regedit
// run per key. "" or the first failure.
std::string ExportKeys(const std::string& folder);

}  // namespace e2e
