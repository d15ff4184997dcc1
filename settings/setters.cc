// Option setters: each writes one setting into the settings key, creating
// the key when it is missing. Nothing is read first.
#include "settings/registry_io.h"
#include "settings/settings.h"

namespace settings {

void SetGinaInstallOption() {
  (void)WriteText(kSettings, kGinaInstallOption, "1");
}

void SetSilentLeapOption() {
  (void)WriteText(kSettings, kSilentLeapOption, "1");
}

// Written as "XRstatus"; the registry takes it for the same value as the
// "XRStatus" default of the carry-over.
void SetXRStatus() { (void)WriteText(kSettings, kXRStatusSetterName, "1"); }

void SetWModeSelect(unsigned long mode) {
  // REG_DWORD is four little-endian bytes whatever the width of long here.
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(mode & 0xFF),
      static_cast<unsigned char>((mode >> 8) & 0xFF),
      static_cast<unsigned char>((mode >> 16) & 0xFF),
      static_cast<unsigned char>((mode >> 24) & 0xFF)};
  (void)WriteValue(kSettings, kWModeSelect, platform::kRegDword, bytes,
                   sizeof bytes);
}

}  // namespace settings
