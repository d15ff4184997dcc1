#include "settings/registry_io.h"

namespace settings {

using platform::kSuccess;

bool OpenFull(KeyPlace place, platform::ScopedKey& key) {
  return platform::OpenKey(place.root, place.path, platform::kKeyAllAccess,
                           key.Receive()) == kSuccess &&
         key.valid();
}

bool CreateFull(KeyPlace place, platform::ScopedKey& key) {
  return platform::CreateKey(place.root, place.path, key.Receive()) ==
             kSuccess &&
         key.valid();
}

bool OpenForWrite(KeyPlace place, platform::ScopedKey& key) {
  return OpenFull(place, key) || CreateFull(place, key);
}

platform::Status QueryText(platform::RegKey key, const char* name, char* text,
                           unsigned long size) {
  platform::ZeroFill(text, size);
  // Never offer the last byte: it stays the terminator.
  unsigned long offered = size - 1 < kTextCapacity ? size - 1 : kTextCapacity;
  const platform::Status status =
      platform::QueryValue(key, name, text, &offered);
  if (status != kSuccess) {
    platform::ZeroFill(text, size);
  } else {
    // The text and its zero byte fit the capacity: 50 bytes without a zero
    // keep 49 characters. Written back with all 50 and a terminator, the
    // value would no longer be readable, and the next step would take it
    // for missing and write its default over it.
    text[kTextCapacity - 1] = 0;
  }
  return status;
}

bool OpenAndReadText(KeyPlace place, const char* name,
                     platform::ScopedKey& key, TextBuffer& text) {
  if (!OpenFull(place, key)) {
    platform::ZeroFill(text, sizeof text);
    return false;
  }
  return QueryText(key.get(), name, text, sizeof text) == kSuccess;
}

bool SetText(platform::RegKey key, const char* name, const char* text) {
  return platform::SetValue(key, name, platform::kRegSz, text,
                            platform::Length(text) + 1) == kSuccess;
}

bool WriteValue(KeyPlace place, const char* name, unsigned long type,
                const void* data, unsigned long size) {
  platform::ScopedKey key;
  return OpenForWrite(place, key) &&
         platform::SetValue(key.get(), name, type, data, size) == kSuccess;
}

bool WriteText(KeyPlace place, const char* name, const char* text) {
  return WriteValue(place, name, platform::kRegSz, text,
                    platform::Length(text) + 1);
}

void MoveToSettings(platform::RegKey source, const char* name,
                    unsigned long type, const void* data, unsigned long size) {
  if (WriteValue(kSettings, name, type, data, size)) {
    (void)platform::DeleteValue(source, name);
  }
}

void MoveTextToSettings(platform::RegKey source, const char* name,
                        const char* text) {
  MoveToSettings(source, name, platform::kRegSz, text,
                 platform::Length(text) + 1);
}

}  // namespace settings
