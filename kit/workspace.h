// The kit's large buffers, in one block its start-up provides (a static
// block on Windows, so that no frame needs a stack probe; a test's own
// otherwise). No command keeps anything here from one call to the next.
#pragma once

namespace kit {

// Windows 9x keeps at most 16 KB in a value; NT more, which the export
// refuses rather than cut.
constexpr unsigned long kValueCapacity = 65536;
// NT allows value names of 16383 characters.
constexpr unsigned long kValueNameCapacity = 16384;
// "[ROOT\path]" of the deepest key exported.
constexpr unsigned long kKeyPathCapacity = 2048;
constexpr unsigned long kOutputCapacity = 4096;
constexpr unsigned long kRecordCapacity = 4096;

struct Workspace {
  char value[kValueCapacity];
  char value_name[kValueNameCapacity];
  char key_path[kKeyPathCapacity];
  char subkey[256];  // RegEnumKeyA's name, 255 characters at most
  char output[kOutputCapacity];
  char record[kRecordCapacity];
};

}  // namespace kit
