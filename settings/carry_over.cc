// Carry-over of an older installation's settings from the legacy key into
// the settings key, and the defaults of GinaInstallOption and XRStatus.
#include "settings/registry_io.h"
#include "settings/settings.h"

namespace settings {

namespace {

bool IsOne(const char* text) { return platform::CompareNoCase(text, "1") == 0; }

// A readable legacy value is moved whatever its text.
void MoveLegacyText(const char* name) {
  platform::ScopedKey legacy;
  TextBuffer text;
  if (OpenAndReadText(kLegacy, name, legacy, text)) {
    MoveTextToSettings(legacy.get(), name, text);
  }
}

// The carry-over step and its update variant differ only in whether a
// legacy "1" is moved into the settings key or left where it is.
void EnsureGina(bool move_legacy_one) {
  {
    platform::ScopedKey current;
    TextBuffer text;
    if (OpenAndReadText(kSettings, kGinaInstallOption, current, text)) {
      // Written back as REG_SZ with its own length, whatever it was stored as.
      if (!IsOne(text)) (void)SetText(current.get(), kGinaInstallOption, text);
      return;
    }
  }
  {
    platform::ScopedKey legacy;
    TextBuffer text;
    if (OpenAndReadText(kLegacy, kGinaInstallOption, legacy, text)) {
      if (move_legacy_one || !IsOne(text)) {
        MoveTextToSettings(legacy.get(), kGinaInstallOption, text);
      }
      return;
    }
  }
  (void)WriteText(kSettings, kGinaInstallOption, "0");
}

}  // namespace

void MoveGinaInstallOption() {
  {
    platform::ScopedKey current;
    TextBuffer text;
    if (OpenAndReadText(kSettings, kGinaInstallOption, current, text)) return;
  }
  MoveLegacyText(kGinaInstallOption);
}

void EnsureGinaInstallOption() { EnsureGina(false); }

void EnsureGinaInstallOptionForUpdate() { EnsureGina(true); }

// The legacy text wins over whatever the settings key holds.
void MoveSilentLeapOption() { MoveLegacyText(kSilentLeapOption); }

void EnsureXRStatus() {
  platform::ScopedKey current;
  TextBuffer text;
  if (OpenAndReadText(kSettings, kXRStatus, current, text)) return;
  // Through the handle opened above when there is one, else a created one.
  if (current.valid() || CreateFull(kSettings, current)) {
    (void)SetText(current.get(), kXRStatus, "0");
  }
}

void MoveWModeSelect() {
  platform::ScopedKey legacy;
  if (!OpenFull(kLegacy, legacy)) return;
  // Fewer than four stored bytes arrive zero-filled; the type is not asked.
  unsigned char bytes[4] = {0, 0, 0, 0};
  unsigned long size = sizeof bytes;
  if (platform::QueryValue(legacy.get(), kWModeSelect, bytes, &size) !=
      platform::kSuccess) {
    return;
  }
  MoveToSettings(legacy.get(), kWModeSelect, platform::kRegDword, bytes,
                 sizeof bytes);
}

void CarryOverSettings() {
  MoveGinaInstallOption();
  EnsureGinaInstallOption();
  MoveSilentLeapOption();
  EnsureXRStatus();
  MoveWModeSelect();
}

}  // namespace settings
