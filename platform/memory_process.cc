// The in-memory platform's process, clock and journal, and Reset. The
// registry, the file system and the text storage live in their own files,
// the machine object in memory_machine.cc.
#include <utility>

#include "platform/memory_internal.h"

namespace memory {

struct internal::Process {
  std::string command_line = "C:\\Pkg\\launcher.exe";
  unsigned long version = 0x0A280105;  // Windows XP
  std::vector<std::pair<unsigned char, unsigned char>> lead_ranges;
  std::vector<Start> starts;
  std::function<void(unsigned long)> sleep_hook;
  unsigned long long slept_ms = 0;
  int sleep_count = 0;
};

struct internal::JournalState {
  std::vector<Event> events;
  platform::Phase phase = platform::Phase::kMarkerKey;
};

namespace {

internal::Process& TheProcess() { return *internal::Current().process; }

internal::JournalState& TheRecord() { return *internal::Current().journal; }

}  // namespace

namespace internal {

Controls& TheControls() { return Current().controls; }

bool InjectedFailure() {
  Controls& c = TheControls();
  ++c.calls;
  return c.countdown > 0 && --c.countdown == 0;
}

std::string Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return folded;
}

void Record(Event event) { TheRecord().events.push_back(std::move(event)); }

platform::Phase CurrentPhase() { return TheRecord().phase; }

Event NewEvent(Operation operation) {
  Event event;
  event.operation = operation;
  event.phase = CurrentPhase();
  return event;
}

void ResetProcess() { Current().process = std::make_shared<Process>(); }

void ResetJournal() { Current().journal = std::make_shared<JournalState>(); }

}  // namespace internal

void Reset() {
  internal::TheControls() = internal::Controls();
  internal::ResetJournal();
  internal::ResetProcess();
  internal::ResetText();
  internal::ResetRegistry();
  internal::ResetFiles();
  internal::ResetKit();
}

void SetCommandLine(const std::string& line) {
  TheProcess().command_line = line;
}

void SetVersion(unsigned long word) { TheProcess().version = word; }

void SetLeadByteRange(unsigned char first, unsigned char last) {
  TheProcess().lead_ranges.emplace_back(first, last);
}

std::vector<Start> Starts() { return TheProcess().starts; }

void SetSleepHook(std::function<void(unsigned long)> hook) {
  TheProcess().sleep_hook = std::move(hook);
}

unsigned long long SleptMs() { return TheProcess().slept_ms; }

int SleepCount() { return TheProcess().sleep_count; }

const std::vector<Event>& Journal() { return TheRecord().events; }

}  // namespace memory

namespace platform {

using memory::Event;
using memory::Operation;

const char* FullCommandLine() {
  return memory::TheProcess().command_line.c_str();
}

unsigned long VersionWord() {
  Event event = memory::internal::NewEvent(Operation::kVersion);
  event.number = memory::TheProcess().version;
  memory::internal::Record(event);
  return memory::TheProcess().version;
}

bool StartProgram(const char* application, const char* command) {
  Event event = memory::internal::NewEvent(Operation::kStartProgram);
  event.path = application != nullptr ? application : "";
  event.target = command != nullptr ? command : "";
  if (memory::internal::InjectedFailure()) {
    event.status = memory::kAccessDenied;
    memory::internal::Record(event);
    return false;
  }
  // CreateProcessA finds no program to run in a missing file.
  const bool exists = memory::HasFile(event.path);
  const bool started = exists && memory::internal::TheControls().start_succeeds;
  event.status = started ? kSuccess
                         : exists ? memory::kAccessDenied : memory::kFileNotFound;
  memory::internal::Record(event);
  memory::TheProcess().starts.push_back({event.path, event.target, started});
  return started;
}

void SleepMs(unsigned long milliseconds) {
  Event event = memory::internal::NewEvent(Operation::kSleep);
  event.number = milliseconds;
  memory::internal::Record(event);
  memory::internal::Process& p = memory::TheProcess();
  p.slept_ms += milliseconds;
  ++p.sleep_count;
  if (p.sleep_hook) {
    // A copy: the hook may replace itself.
    std::function<void(unsigned long)> hook = p.sleep_hook;
    hook(milliseconds);
  }
}

bool IsLeadByte(unsigned char byte) {
  for (const auto& range : memory::TheProcess().lead_ranges) {
    if (byte >= range.first && byte <= range.second) return true;
  }
  return false;
}

void EnterPhase(Phase phase) {
  memory::TheRecord().phase = phase;
  Event event = memory::internal::NewEvent(Operation::kPhase);
  memory::internal::Record(event);
}

}  // namespace platform
