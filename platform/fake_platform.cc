// The in-memory platform: reset, fault injection, process and clock. The
// registry and the file system live in fake_registry.cc and fake_files.cc.
#include "platform/fake_platform.h"

#include <utility>

#include "platform/fake_internal.h"

namespace fake {

namespace {

struct Faults {
  int calls = 0;
  int countdown = 0;  // 0: nothing injected
};

struct Process {
  std::string command_line = "C:\\Pkg\\launcher.exe";
  unsigned long version = 0x0A280105;  // Windows XP
  std::vector<std::pair<unsigned char, unsigned char>> lead_ranges;
  std::vector<Start> starts;
  bool start_succeeds = true;
  std::function<void(unsigned long)> sleep_hook;
  unsigned long long slept_ms = 0;
  int sleep_count = 0;
};

Faults& TheFaults() {
  static Faults faults;
  return faults;
}

Process& TheProcess() {
  static Process process;
  return process;
}

}  // namespace

namespace internal {

bool InjectedFailure() {
  Faults& f = TheFaults();
  ++f.calls;
  if (f.countdown > 0 && --f.countdown == 0) return true;
  return false;
}

std::string Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return folded;
}

void ResetProcess() { TheProcess() = Process(); }

}  // namespace internal

void Reset() {
  TheFaults() = Faults();
  internal::ResetProcess();
  internal::ResetRegistry();
  internal::ResetFiles();
}

int FallibleCalls() { return TheFaults().calls; }

void FailCall(int n) { TheFaults().countdown = n > 0 ? n : 0; }

void SetCommandLine(const std::string& line) {
  TheProcess().command_line = line;
}

void SetVersion(unsigned long word) { TheProcess().version = word; }

void SetLeadByteRange(unsigned char first, unsigned char last) {
  TheProcess().lead_ranges.emplace_back(first, last);
}

std::vector<Start> Starts() { return TheProcess().starts; }

void SetStartSucceeds(bool succeeds) { TheProcess().start_succeeds = succeeds; }

void SetSleepHook(std::function<void(unsigned long)> hook) {
  TheProcess().sleep_hook = std::move(hook);
}

unsigned long long SleptMs() { return TheProcess().slept_ms; }

int SleepCount() { return TheProcess().sleep_count; }

}  // namespace fake

namespace platform {

const char* FullCommandLine() {
  return fake::TheProcess().command_line.c_str();
}

unsigned long VersionWord() { return fake::TheProcess().version; }

bool StartProgram(const char* application, const char* command) {
  if (fake::internal::InjectedFailure()) return false;
  fake::Process& p = fake::TheProcess();
  // Recorded whether or not the start is set to succeed, so a test can see
  // what was attempted.
  p.starts.push_back({application != nullptr ? application : "",
                      command != nullptr ? command : ""});
  return p.start_succeeds;
}

void SleepMs(unsigned long milliseconds) {
  fake::Process& p = fake::TheProcess();
  p.slept_ms += milliseconds;
  ++p.sleep_count;
  if (p.sleep_hook) {
    // A copy: the hook may replace itself.
    std::function<void(unsigned long)> hook = p.sleep_hook;
    hook(milliseconds);
  }
}

bool IsLeadByte(unsigned char byte) {
  for (const auto& range : fake::TheProcess().lead_ranges) {
    if (byte >= range.first && byte <= range.second) return true;
  }
  return false;
}

}  // namespace platform
