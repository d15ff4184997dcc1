#include "adapter/write_block_size.h"

#include "platform/platform.h"

namespace adapter {

namespace {

using platform::Root;

constexpr unsigned long ConstLength(const char* s) {
  unsigned long n = 0;
  while (s[n] != 0) ++n;
  return n;
}

// A registry key name has at most 255 characters; with room for the longest
// one no adapter is passed over for the length of its name.
constexpr unsigned long kMaxKeyName = 255;
constexpr unsigned long kNameCapacity = kMaxKeyName + 1;
constexpr unsigned long kKeyPathCapacity =
    ConstLength(kAdapterClassKey) + 1 + kMaxKeyName + 1;
constexpr unsigned long kValueCapacity = 500;

constexpr char kWriteBlockSize[] = "writeBlockSize";
constexpr char kOne[] = "1";

bool IsSupportedId(const char* id) {
  bool match = false;
  for (const HardwareId& known : kHardwareIdTexts) {
    if (platform::CompareNoCase(id, known) == 0) match = true;
  }
  return match;
}

// Reads ComponentId of the instance key and compares its first 37
// characters. The key is closed again before this returns.
bool InstanceMatches(const char* key_path, char* value, char* compare) {
  platform::ScopedKey instance;
  if (platform::OpenKey(Root::kLocalMachine, key_path, platform::kKeyRead,
                        instance.Receive()) != platform::kSuccess) {
    return false;
  }
  unsigned long size = kValueCapacity;
  if (platform::QueryValue(instance.get(), "ComponentId", value, &size) !=
      platform::kSuccess) {
    return false;
  }
  // compare is zero-filled, so it ends after at most 37 characters.
  platform::CopyBounded(compare, value, kHardwareIdLength);
  return IsSupportedId(compare);
}

// Only an existing key is written: an adapter key is never created.
void SetWriteBlockSize(const char* key_path) {
  platform::ScopedKey instance;
  if (platform::OpenKey(Root::kLocalMachine, key_path, platform::kKeyAllAccess,
                        instance.Receive()) != platform::kSuccess) {
    return;
  }
  (void)platform::SetValue(instance.get(), kWriteBlockSize, platform::kRegSz,
                           kOne, sizeof kOne);
}

}  // namespace

void ApplyWriteBlockSizeFix() {
  platform::ScopedKey class_key;
  if (platform::OpenKey(Root::kLocalMachine, kAdapterClassKey,
                        platform::kKeyRead,
                        class_key.Receive()) != platform::kSuccess) {
    return;
  }
  char name[kNameCapacity];
  char key_path[kKeyPathCapacity];
  char value[kValueCapacity];
  char compare[kValueCapacity];
  // The setup may add adapters meanwhile; each call starts again at 0.
  for (unsigned long index = 0;; ++index) {
    platform::ZeroFill(name, sizeof name);
    platform::ZeroFill(key_path, sizeof key_path);
    platform::ZeroFill(value, sizeof value);
    platform::ZeroFill(compare, sizeof compare);
    if (platform::EnumKey(class_key.get(), index, name, sizeof name) !=
        platform::kSuccess) {
      break;
    }
    // Always fits; a path that did not would be left empty and skipped.
    if (!platform::Compose(key_path, kAdapterClassKey, "\\", name)) continue;
    if (InstanceMatches(key_path, value, compare)) SetWriteBlockSize(key_path);
  }
}

}  // namespace adapter
