// Registry steps shared by the settings procedures: full-access opens,
// open-or-create for writes, bounded text reads, and moves that delete the
// source copy only once the target holds the value.
#pragma once

#include "platform/platform.h"
#include "settings/layout.h"

namespace settings {

struct KeyPlace {
  platform::Root root;
  const char* path;
};

constexpr KeyPlace kSettings{platform::Root::kLocalMachine, kSettingsKey};
constexpr KeyPlace kLegacy{platform::Root::kLocalMachine, kLegacyKey};
constexpr KeyPlace kMachineInstaller{platform::Root::kLocalMachine,
                                     kInstallerKey};
constexpr KeyPlace kUserInstaller{platform::Root::kCurrentUser, kInstallerKey};

// A text read offers kTextCapacity bytes into a buffer one byte larger, so a
// value that fills the capacity without its own zero byte still ends in one.
constexpr unsigned long kTextBufferSize = kTextCapacity + 1;
typedef char TextBuffer[kTextBufferSize];

// ERROR_FILE_NOT_FOUND from a read: the value is not there at all, as
// opposed to one that is there but does not fit.
constexpr platform::Status kValueAbsent = 2;

// Opens with KEY_ALL_ACCESS; true when key holds the open key. A key that
// does not open with full access counts as missing.
[[nodiscard]] bool OpenFull(KeyPlace place, platform::ScopedKey& key);

// RegCreateKeyExA: opens the key or creates it with the keys above it.
[[nodiscard]] bool CreateFull(KeyPlace place, platform::ScopedKey& key);

// For a write: opens the key with full access, else creates it. False when
// it can be neither opened nor created.
[[nodiscard]] bool OpenForWrite(KeyPlace place, platform::ScopedKey& key);

// Reads the text value name into text (size bytes, at least
// kTextBufferSize), offering kTextCapacity bytes. The buffer is zero-filled
// first and again after a failed read, so the text is always terminated and
// a failed read leaves it empty; a text that fills the capacity without a
// zero byte keeps kTextCapacity - 1 characters. Returns the status of the
// read.
[[nodiscard]] platform::Status QueryText(platform::RegKey key,
                                         const char* name, char* text,
                                         unsigned long size);

// Opens place with full access and reads name from it; true when readable.
// The key stays open in key when it opened, for a write or delete to follow.
[[nodiscard]] bool OpenAndReadText(KeyPlace place, const char* name,
                                   platform::ScopedKey& key, TextBuffer& text);

// REG_SZ: the characters up to the first zero byte, and the terminator.
[[nodiscard]] bool SetText(platform::RegKey key, const char* name,
                           const char* text);

// Writes into place, opening or creating the key; true when written.
[[nodiscard]] bool WriteValue(KeyPlace place, const char* name,
                              unsigned long type, const void* data,
                              unsigned long size);
[[nodiscard]] bool WriteText(KeyPlace place, const char* name,
                             const char* text);

// Moves a value read from the open source key into the settings key. The
// source copy is deleted only after the write succeeded: a settings key
// that cannot be created or written loses nothing.
void MoveToSettings(platform::RegKey source, const char* name,
                    unsigned long type, const void* data, unsigned long size);
void MoveTextToSettings(platform::RegKey source, const char* name,
                        const char* text);

}  // namespace settings
