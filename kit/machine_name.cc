#include "kit/machine_name.h"

namespace kit {

namespace {

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= '0' && c <= '9') || c == '-' || c == '_';
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

bool SameUpper(const char* name, const char* device) {
  for (; *device != 0; ++name, ++device) {
    if (Upper(*name) != *device) return false;
  }
  return *name == 0;
}

// DOS opens the device for such a name whatever the folder or extension.
bool IsDeviceName(const char* name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices) {
    if (SameUpper(name, device)) return true;
  }
  // COM1-COM9 and LPT1-LPT9.
  const bool com = Upper(name[0]) == 'C' && Upper(name[1]) == 'O' && Upper(name[2]) == 'M';
  const bool lpt = Upper(name[0]) == 'L' && Upper(name[1]) == 'P' && Upper(name[2]) == 'T';
  return (com || lpt) && name[3] >= '1' && name[3] <= '9' && name[4] == 0;
}

}  // namespace

bool IsValidMachineName(const char* name) {
  unsigned long length = 0;
  for (; name[length] != 0; ++length) {
    if (length == kMaxMachineName || !IsNameCharacter(name[length])) return false;
  }
  return length > 0 && !IsDeviceName(name);
}

}  // namespace kit
