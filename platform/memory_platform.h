// The in-memory platform: a whole Windows machine, as far as the launcher
// sees one, kept in memory. It answers the operations of platform.h with the
// results and Win32 error codes Windows gives, keeps a journal of every
// operation, and lets its user (the preview, or a host test) set the machine
// up and look at it afterwards. Controls that only tests need (injected
// failures, denied rights, open-handle counts) are in memory_testing.h.
// A machine is an object (Machine below); the operations of platform.h and
// every function here act on the calling thread's current machine, so the
// launcher's code reaches whichever machine its caller made current.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace memory {

using platform::Root;

class Machine;
namespace internal {
struct State;  // memory_internal.h
State& StateOf(Machine& machine);
}  // namespace internal

// All of one machine: its registry, files, process, clock, journal, text
// storage, the kit's part (memory_kit.h) and the test controls. A new one
// is as Reset() leaves a machine.
class Machine {
 public:
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

 private:
  friend internal::State& internal::StateOf(Machine& machine);
  std::unique_ptr<internal::State> state_;
};

// The machine the operations reach on this thread: the one the innermost
// UseMachine alive names, else the thread's own default machine (which
// tests that never name a machine use throughout).
Machine& CurrentMachine();

// Makes a machine current on this thread for its lifetime, then the one
// current before again. The machine must outlive it.
class UseMachine {
 public:
  explicit UseMachine(Machine& machine);
  ~UseMachine();
  UseMachine(const UseMachine&) = delete;
  UseMachine& operator=(const UseMachine&) = delete;

 private:
  Machine* previous_;
};

// Win32 error codes the platform answers with.
constexpr platform::Status kFileNotFound = 2;
constexpr platform::Status kPathNotFound = 3;
constexpr platform::Status kAccessDenied = 5;
constexpr platform::Status kInvalidHandle = 6;
constexpr platform::Status kFileExists = 80;
constexpr platform::Status kMoreData = 234;
constexpr platform::Status kNoMoreItems = 259;

// Empties the current machine's registry and file system and restores the
// defaults:
// Windows XP version word (0x0A280105), system directory
// "C:\WINDOWS\system32", current directory "C:\", command line
// "C:\Pkg\launcher.exe", no lead bytes, an ANSI-storage registry, no sleep
// hook, an empty journal; the controls of memory_testing.h are reset too.
void Reset();

// ---- Text -------------------------------------------------------------------

// How the registry keeps text. Windows 9x keeps the bytes a program passes;
// Windows NT keeps names and string data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) in UTF-16 and converts them at every "A" call, through the
// ANSI code page.
enum class TextStorage { kAnsi, kUtf16 };

// The ANSI code page's conversions, as MultiByteToWideChar and
// WideCharToMultiByte (CP_ACP, no flags) do them, and Unicode case folding
// as the NT registry compares names.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::u16string ToUtf16(const std::string& ansi) const = 0;
  // Characters the code page lacks become its default character.
  virtual std::string ToAnsi(const std::u16string& text) const = 0;
  virtual char16_t Upcase(char16_t unit) const = 0;
};

// Empties the registry and sets how it keeps text. code_page (for kUtf16)
// must live as long as it is in use; nullptr takes each byte for the code
// point of the same number and folds only A-Z.
void UseTextStorage(TextStorage storage, const CodePage* code_page);
TextStorage CurrentTextStorage();

// ---- Registry: the program's view --------------------------------------------
// Key paths are relative to the root; names compare without regard to case
// and keep their first spelling. Names and data here are what a program
// passes to and gets from the "A" functions; on a UTF-16 registry they are
// converted as those functions convert them.
struct Value {
  unsigned long type;
  std::string data;  // bytes as RegQueryValueExA gives them, whole
};
void PutKey(Root root, const std::string& path);  // creates missing parents
// As RegSetValueExA stores it.
void PutValue(Root root, const std::string& path, const std::string& name,
              unsigned long type, const std::string& bytes);
void PutString(Root root, const std::string& path, const std::string& name,
               const std::string& text);  // REG_SZ, terminator stored
void PutDword(Root root, const std::string& path, const std::string& name,
              uint32_t number);
void RemoveKey(Root root, const std::string& path);  // with its subtree
bool HasKey(Root root, const std::string& path);
std::optional<Value> GetValue(Root root, const std::string& path,
                              const std::string& name);
// Value names as stored (first spelling written), in creation order.
std::vector<std::string> ValueNames(Root root, const std::string& path);
// Subkeys in the order RegEnumKeyA gives them.
std::vector<std::string> SubkeyNames(Root root, const std::string& path);

// ---- Registry: as stored -----------------------------------------------------
// Names in storage form: UTF-16 on a UTF-16 registry, else one unit per
// byte. Data as stored: string types in UTF-16 on a UTF-16 registry.
struct StoredValue {
  std::u16string name;
  unsigned long type;
  std::string data;
};
struct StoredKey {
  Root root;
  std::u16string path;  // first spellings, "\" between names
  std::vector<StoredValue> values;  // creation order
};
// Every key below both roots, each before its subkeys.
std::vector<StoredKey> SavedRegistry();
// The form in which the registry compares a stored name: two names are the
// same when these are equal.
std::u16string ComparedName(const std::u16string& name);
// A stored name in the program's spelling, and back, as the "A" functions
// convert them.
std::string ProgramName(const std::u16string& stored);
std::u16string StoredName(const std::string& program);
// The bytes RegQueryValueExA gives for a stored value, whole, and the bytes
// stored for what RegSetValueExA is given.
std::string ProgramData(const StoredValue& value);
std::string StoredData(unsigned long type, const std::string& program);
void StoreKey(Root root, const std::u16string& path);  // with missing parents
void StoreValue(Root root, const std::u16string& path,
                const StoredValue& value);  // creates the key when missing
void EraseValue(Root root, const std::u16string& path,
                const std::u16string& name);
void EraseKey(Root root, const std::u16string& path);  // with its subtree

// ---- Files (paths case-insensitive; relative ones resolve against the
// current directory) ----------------------------------------------------------
// Paths are on a drive ("C:\a", any letter) or a share ("\\server\share\a",
// server and share names compared like every other name). A share root
// behaves as a drive root: "\name" from a current directory on a share goes
// to the share's root, and ".." never climbs above it. Drive and share roots
// always exist, as do the system and current directories: the machine
// reaches every share it is told of (the launcher's own folder may be on
// one). "\\server" alone and device paths ("\\.\", "\\?\") are no
// paths; every operation on them fails.
// A file stored with attributes 0 reads back FILE_ATTRIBUTE_NORMAL (0x80); a
// folder reads FILE_ATTRIBUTE_DIRECTORY (0x10). A copy takes the source's
// attributes, read-only included, as CopyFileA does.
void PutFile(const std::string& path, const std::string& contents,
             unsigned long attributes = 0);  // creates missing folders
void PutFolder(const std::string& path);
bool HasFile(const std::string& path);
bool HasFolder(const std::string& path);
std::string FileContents(const std::string& path);
unsigned long FileAttributesOf(const std::string& path);
std::vector<std::string> FilesIn(const std::string& folder);  // names only
std::vector<std::string> FoldersIn(const std::string& folder);  // names only
void SetCurrentDirectory(const std::string& path);
void SetSystemDirectory(const std::string& path);

// ---- Process and environment ------------------------------------------------
void SetCommandLine(const std::string& line);
void SetVersion(unsigned long word);
void SetLeadByteRange(unsigned char first, unsigned char last);  // adds one
struct Start {
  std::string application;
  std::string command;
  bool started;  // the program file exists, so CreateProcessA succeeds
};
// Every start attempted, in order; a start fails, as on Windows, when the
// application is not an existing file.
std::vector<Start> Starts();

// ---- Clock ------------------------------------------------------------------
// Runs instead of sleeping, with the milliseconds asked for. It stands for
// whatever else happens on the machine meanwhile, such as the setup.
void SetSleepHook(std::function<void(unsigned long)> hook);
unsigned long long SleptMs();
int SleepCount();

// ---- Journal ----------------------------------------------------------------
// Every operation of platform.h, in order, with what it was given and what
// it answered. Key paths and names are in the program's (ANSI) spelling.
enum class Operation {
  kPhase,           // EnterPhase; phase says which
  kOpenKey,         // key, access, status
  kCreateKey,       // RegCreateKeyExA: key, status
  kCreateKeyPlain,  // RegCreateKeyA: key, status
  kKeyCreated,      // a key that did not exist: key (first spelling)
  kQueryValue,      // key, name, capacity; data read on success, status
  kSetValue,        // key, name, type, data, status
  kDeleteValue,     // key, name, status
  kEnumKey,         // key, index, capacity; name on success, status
  kCloseKey,        // key, status
  kSystemDirectory, // path answered, status
  kMakeFolder,      // path, status
  kFileAttributes,  // path, attributes answered, status
  kSetFileAttributes,  // path, attributes, status
  kRemoveFile,      // path, status
  kCopyFile,        // path (source), target, status
  kVersion,         // number (the word)
  kStartProgram,    // path (application), target (command line), status
  kSleep,           // number (milliseconds)
};
struct Event {
  Operation operation = Operation::kPhase;
  platform::Phase phase = platform::Phase::kMarkerKey;  // entered last
  Root root = Root::kLocalMachine;
  std::string key;    // registry operations: the key, from the root
  std::string name;   // value name, or subkey name found by kEnumKey
  std::string path;   // file operations: the path; kStartProgram: program
  std::string target; // kCopyFile: destination; kStartProgram: command
  unsigned long type = 0;    // kSetValue
  unsigned long number = 0;  // access, capacity, index, attributes, word, ms
  std::string data;   // kSetValue: data given; kQueryValue: data read
  platform::Status status = 0;  // Win32 error code; 0 for success
};
const std::vector<Event>& Journal();

}  // namespace memory
