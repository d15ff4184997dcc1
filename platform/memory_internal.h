// Plumbing shared by the parts of the in-memory platform (registry, files,
// process, text, journal, test controls). Not for its users: they have
// memory_platform.h and memory_testing.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory_platform.h"

namespace memory {
namespace internal {

// Win32 codes answered besides those in memory_platform.h.
constexpr long kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr long kBadPathname = 161;      // ERROR_BAD_PATHNAME
constexpr long kAlreadyExists = 183;    // ERROR_ALREADY_EXISTS
constexpr long kKeyDeleted = 1018;      // ERROR_KEY_DELETED

// What the test controls set; at their defaults for every other user.
struct Controls {
  int calls = 0;      // fallible operations so far
  int countdown = 0;  // the call that is to fail; 0: none
  bool start_succeeds = true;
};

// The parts of a machine, each defined in the file that works on it.
struct Registry;      // memory_registry.cc
struct Files;         // memory_files.cc
struct Process;       // memory_process.cc
struct JournalState;  // memory_process.cc
struct TextState;     // memory_text.cc
struct KitMachine;    // memory_kit.cc

// A machine's state. Each part is made by its file's Reset function.
struct State {
  std::shared_ptr<Registry> registry;
  std::shared_ptr<Files> files;
  std::shared_ptr<Process> process;
  std::shared_ptr<JournalState> journal;
  std::shared_ptr<TextState> text;
  std::shared_ptr<KitMachine> kit;
  Controls controls;
  // Never reset, so a handle kept from an earlier run stays unknown.
  std::uintptr_t next_handle = 0x1000;
};

// The current machine's state (memory_machine.cc).
State& Current();

Controls& TheControls();
// Counts one fallible operation; true when it is the one chosen to fail.
bool InjectedFailure();
void AddDenial(Root root, const std::string& path, bool write_only);
int HandleCount();

// Folds A-Z onto a-z, nothing else: how file names compare.
std::string Fold(const std::string& text);

// ---- Text of the registry ----
// A name or path from a program into storage form, and back.
std::u16string FromProgram(const std::string& text);
std::string ToProgram(const std::u16string& units);
// The form names compare in: upper case on a UTF-16 registry as NT folds
// it, A-Z onto a-z on an ANSI one.
std::u16string FoldName(const std::u16string& units);
bool IsStringType(unsigned long type);
// The bytes stored for data that RegSetValueExA was given.
std::string StoredData(unsigned long type, const std::string& given);
// The bytes RegQueryValueExA gives for stored data, whole.
std::string ProgramData(unsigned long type, const std::string& stored);
// On a UTF-16 registry RegQueryValueExA converts string data and, when
// there is room, ends text that had no terminator with one.
bool ConvertsOnRead(unsigned long type);

// ---- Journal ----
// An entry for an operation, under the phase entered last.
Event NewEvent(Operation operation);
void Record(Event event);
platform::Phase CurrentPhase();

void ResetRegistry();
void ResetFiles();
void ResetProcess();
void ResetText();
void ResetJournal();

// ---- The kit's machine (memory_kit.cc) ----
void ResetKit();
void DenyFileCreate(const std::string& folder);
void HoldFile(const std::string& path, int opens);
int OpenFileCount();

}  // namespace internal
}  // namespace memory
