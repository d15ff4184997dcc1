// Controls of the in-memory platform that only tests use: they make the
// machine refuse what a real one may refuse (rights, failing calls, a
// program that will not start) and count what tests check. The preview does
// not link them.
#pragma once

#include <string>
#include <vector>

#include "platform/memory_platform.h"

namespace memory {

// A user without administrative rights: opening the key or any key below it
// with more than KEY_READ, creating keys there, and writing or deleting
// values there fail with ERROR_ACCESS_DENIED. Path "" means the whole root.
void DenyWrite(Root root, const std::string& path);
// Any open of the key or a key below it fails with ERROR_ACCESS_DENIED.
void DenyRead(Root root, const std::string& path);

// Registry handles currently open.
int OpenHandles();

// Every registry write, create and delete that succeeded, as "verb
// root\path[:name]", for checks of what a run touched: "create HKLM\A\B"
// for each new key, "set HKLM\A:Name" and "delete HKCU\A:Name" with the key
// path as first spelled and the value name as the caller spelled it. Taken
// from the journal, so the arranging calls of memory_platform.h never show.
std::vector<std::string> RegistryWrites();

// Starts fail from now on even when the program exists (a damaged setup);
// they are still listed by Starts().
void SetStartSucceeds(bool succeeds);

// Number of platform operations that can fail (registry, file, start) made
// since Reset.
int FallibleCalls();
// Makes the n-th fallible operation from now on (1-based) fail with a
// plausible error; 0 turns injection off. An injected failure changes
// nothing and is not listed by Starts().
void FailCall(int n);

// ---- Files, through the operations of kit_platform.h ----
// Files cannot be created or opened for writing in the folder (given as an
// absolute path): ERROR_ACCESS_DENIED, as for a user without rights there.
void DenyFileCreate(const std::string& folder);
// The next `opens` opens of the file fail with ERROR_SHARING_VIOLATION, as
// while another program holds it open.
void HoldFile(const std::string& path, int opens);
// Files opened through kit_platform.h and not closed.
int OpenFiles();

}  // namespace memory
