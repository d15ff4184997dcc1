// The install-type query: full install or driver only, from InstallOption
// under the installer key.
#include "settings/registry_io.h"
#include "settings/settings.h"

namespace settings {

namespace {

// Byte for byte, letter case significant.
bool SameText(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}

// Reads InstallOption from the current user's installer key into text and
// moves it under HKEY_LOCAL_MACHINE. False when the user has no such key.
bool TakeFromUser(char* text, unsigned long size) {
  platform::ScopedKey user;
  if (!OpenFull(kUserInstaller, user)) return false;
  const platform::Status read =
      QueryText(user.get(), kInstallOption, text, size);
  // A value that is there but does not fit stays where it is; an absent one
  // still leaves the empty text under the machine, with nothing to delete.
  if (read != platform::kSuccess && read != kValueAbsent) return true;
  platform::ScopedKey machine;
  if (CreateFull(kMachineInstaller, machine) &&
      SetText(machine.get(), kInstallOption, text) &&
      read == platform::kSuccess) {
    (void)platform::DeleteValue(user.get(), kInstallOption);
  }
  machine.Close();  // the machine key before the user's
  return true;
}

}  // namespace

int IsFullInstall() {
  // Twice the capacity offered to the read, so the text always ends in zero.
  char text[2 * kTextCapacity];
  platform::ZeroFill(text, sizeof text);
  {
    platform::ScopedKey machine;
    if (OpenFull(kMachineInstaller, machine)) {
      // The user's key is not consulted, even when the value is missing.
      (void)QueryText(machine.get(), kInstallOption, text, sizeof text);
    } else if (!TakeFromUser(text, sizeof text)) {
      return 1;
    }
  }
  return SameText(text, kDriverOnly) ? 0 : 1;
}

}  // namespace settings
