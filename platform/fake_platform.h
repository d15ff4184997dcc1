// Control surface of the in-memory platform used by host tests. It answers
// the operations of platform.h with the Win32 error codes the real system
// would give, and lets a test arrange and inspect the world.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

using platform::Root;

// Win32 error codes the fake answers with.
constexpr platform::Status kFileNotFound = 2;
constexpr platform::Status kAccessDenied = 5;
constexpr platform::Status kInvalidHandle = 6;
constexpr platform::Status kMoreData = 234;
constexpr platform::Status kNoMoreItems = 259;

// Empties the registry and the file system and restores the defaults:
// Windows XP version word (0x0A280105), system directory
// "C:\WINDOWS\system32", current directory "C:\", command line
// "C:\Pkg\launcher.exe", no lead bytes, starts succeed, sleep hook none,
// no injected failure, all counters zero.
void Reset();

// ---- Registry (key paths relative to the root, names case-insensitive) -----
struct Value {
  unsigned long type;
  std::string data;  // raw bytes as stored
};
void PutKey(Root root, const std::string& path);  // creates missing parents
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
std::vector<std::string> SubkeyNames(Root root, const std::string& path);
// A user without administrative rights: opening the key or any key below it
// with more than KEY_READ, creating keys there, and writing or deleting
// values there fail with ERROR_ACCESS_DENIED. Path "" means the whole root.
void DenyWrite(Root root, const std::string& path);
// Any open of the key or a key below it fails with ERROR_ACCESS_DENIED.
void DenyRead(Root root, const std::string& path);
// Registry handles currently open.
int OpenHandles();
// Every registry write, create and delete, as "verb root\path[:name]", for
// checks of what a run touched: "create HKLM\A\B" for each new key, "set
// HKLM\A:Name" and "delete HKCU\A:Name" with the key path as first spelled
// and the value name as the caller spelled it. Only successful operations of
// platform.h are logged, never the arranging calls above.
std::vector<std::string> RegistryWrites();

// ---- Files (paths case-insensitive; relative ones resolve against the
// current directory) ----------------------------------------------------------
// Drive roots always exist, and so do the system and current directories.
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
void SetCurrentDirectory(const std::string& path);
void SetSystemDirectory(const std::string& path);

// ---- Process and environment ------------------------------------------------
void SetCommandLine(const std::string& line);
void SetVersion(unsigned long word);
void SetLeadByteRange(unsigned char first, unsigned char last);  // adds one
struct Start {
  std::string application;
  std::string command;
};
// Every start attempted, also when starts are set to fail (not when the
// failure is injected).
std::vector<Start> Starts();
void SetStartSucceeds(bool succeeds);

// ---- Clock ------------------------------------------------------------------
// Runs instead of sleeping, with the milliseconds asked for.
void SetSleepHook(std::function<void(unsigned long)> hook);
unsigned long long SleptMs();
int SleepCount();

// ---- Fault injection --------------------------------------------------------
// Number of platform operations that can fail (registry, file, start) made
// since Reset.
int FallibleCalls();
// Makes the n-th fallible operation from now on (1-based) fail with a
// plausible error; 0 turns injection off.
void FailCall(int n);

}  // namespace fake
