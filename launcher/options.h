// The fixed table of the 44 option strings the launcher accepts, with what
// each one does on every Windows family: one row per option.
#pragma once

namespace launcher {

constexpr int kNoOption = 0;
constexpr int kOptionCount = 44;

// Settings actions of a row, on Windows 2000 and XP. They run in the order
// of the bits; no row combines W or U with anything else.
enum Action : unsigned char {
  kSetGina = 1 << 0,        // G: SetGinaInstallOption
  kSetSilentLeap = 1 << 1,  // S: SetSilentLeapOption
  kSetXRStatus = 1 << 2,    // X: SetXRStatus
  kSetWMode4 = 1 << 3,      // W4: SetWModeSelect(4)
  kSetWMode12 = 1 << 4,     // W12: SetWModeSelect(12)
  kSetWMode13 = 1 << 5,     // W13: SetWModeSelect(13)
  kEnsureGinaForUpdate = 1 << 6,  // U: EnsureGinaInstallOptionForUpdate
};

// The response file a row stages, per family.
enum class Response : unsigned char {
  kPlain,  // none: the setup runs interactively
  kSI1, kSI2, kSI3, kSI1XP, kSI3XP, kSI4XP, kSI5XP,
  kUpdate,     // by install type
  kUninstall,  // by install type
};

struct OptionRow {
  unsigned char actions;  // Windows 2000 and XP; 9x runs none
  Response windows_9x;
  Response windows_2000;
  Response windows_xp;
};

// The option strings are kept one after the other, each with its zero
// byte, rather than behind a pointer per row: the launcher only ever walks
// them in order. The size is checked against the table.
constexpr unsigned long kOptionTextBytes = 508;
struct OptionTable {
  OptionRow rows[kOptionCount + 1];  // row 0 is "no option"
  char texts[kOptionTextBytes];      // options 1..44
};
extern const OptionTable kOptions;

// Row 1..44; any other number gives the row of "no option": no actions,
// plain on every family, text "".
const OptionRow& Option(int number);
// The option string of number 1..44, "" for any other.
const char* OptionString(int number);
// The whole tail compared with every entry, ASCII case-insensitive; the
// number of the entry that matches, or kNoOption.
int ResolveOption(const char* tail);
// The eight "/wbs" options: 2, 4, ..., 16.
bool IsWriteBlockSizeOption(int number);

}  // namespace launcher
