#include "launcher/dispatch.h"

#include "launcher/options.h"
#include "launcher/staging.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace launcher {

namespace {

// Settings actions of a row; the code runs them in the order G, S, X.
// No row combines W or U with anything else.
enum Action : unsigned char {
  G = 1 << 0,    // SetGinaInstallOption
  S = 1 << 1,    // SetSilentLeapOption
  X = 1 << 2,    // SetXRStatus
  W4 = 1 << 3,   // SetWModeSelect(4)
  W12 = 1 << 4,  // SetWModeSelect(12)
  W13 = 1 << 5,  // SetWModeSelect(13)
  U = 1 << 6,    // EnsureGinaInstallOptionForUpdate
};

enum Response : unsigned char {
  Plain,  // no response file: interactive setup
  SI1, SI2, SI3, SI1XP, SI3XP, SI4XP, SI5XP,
  UPD,    // by install type
  UNI,    // by install type
};

struct NtRow {
  unsigned char actions;
  Response windows2000;
  Response windows_xp;
};

// Windows 2000 and XP, indexed by option number; row 0 is "no option".
const NtRow kNtRows[kOptionCount + 1] = {
    {0, Plain, Plain},        // none
    {0, Plain, Plain},        // 1 ""
    {0, Plain, Plain},        // 2 "/wbs"
    {0, SI1, SI1XP},          // 3 "/S /I1"
    {0, SI1, SI1XP},          // 4 "/S /I1 /wbs"
    {0, SI2, SI2},            // 5 "/S /I2"
    {0, SI2, SI2},            // 6 "/S /I2 /wbs"
    {0, SI3, SI3XP},          // 7 "/S /I3"
    {0, SI3, SI3XP},          // 8 "/S /I3 /wbs"
    {0, Plain, SI4XP},        // 9 "/S /I4"
    {0, Plain, SI4XP},        // 10 "/S /I4 /wbs"
    {0, Plain, SI5XP},        // 11 "/S /I5"
    {0, Plain, SI5XP},        // 12 "/S /I5 /wbs"
    {U, UPD, UPD},            // 13 "/S /UPDATE"
    {U, UPD, UPD},            // 14 "/S /UPDATE /wbs"
    {0, UNI, UNI},            // 15 "/S /UNINSTALL"
    {0, UNI, UNI},            // 16 "/S /UNINSTALL /wbs"
    {G, Plain, Plain},        // 17 "-gina"
    {S, Plain, Plain},        // 18 "-sl"
    {S, SI1, SI1XP},          // 19 "-sl /S /I1"
    {S, SI3, SI3XP},          // 20 "-sl /S /I3"
    {G | S, Plain, Plain},    // 21 "-gina -sl"
    {G, SI1, SI1XP},          // 22 "-gina /S /I1"
    {G | S, SI1, SI1XP},      // 23 "-gina -sl /S /I1"
    {G, SI3, SI3XP},          // 24 "-gina /S /I3"
    {G | S, SI3, SI3XP},      // 25 "-gina -sl /S /I3"
    {W4, Plain, Plain},       // 26 "-wm=4"
    {W12, Plain, Plain},      // 27 "-wm=12"
    {W13, Plain, Plain},      // 28 "-wm=13"
    {W4, SI1, SI1XP},         // 29 "-wm=4 /S /I1"
    {W12, SI1, SI1XP},        // 30 "-wm=12 /S /I1"
    {W13, SI1, SI1XP},        // 31 "-wm=13 /S /I1"
    {W4, SI3, SI3XP},         // 32 "-wm=4 /S /I3"
    {W12, SI3, SI3XP},        // 33 "-wm=12 /S /I3"
    {W13, SI3, SI3XP},        // 34 "-wm=13 /S /I3"
    {G, UPD, UPD},            // 35 "-gina /S /UPDATE": plain setter, not U
    {X, Plain, Plain},        // 36 "-XR"
    {G | X, Plain, Plain},    // 37 "-gina -XR"
    {G | S | X, Plain, Plain},  // 38 "-gina -sl -XR"
    {X, SI1, SI1XP},          // 39 "-XR /S /I1"
    {G | X, SI1, SI1XP},      // 40 "-gina -XR /S /I1"
    {G | S | X, SI1, SI1XP},  // 41 "-gina -sl -XR /S /I1"
    {X, SI3, SI3XP},          // 42 "-XR /S /I3"
    {G | X, SI3, SI3XP},      // 43 "-gina -XR /S /I3"
    {G | S | X, SI3, SI3XP},  // 44 "-gina -sl -XR /S /I3"
};

// Windows 9x: only the basic silent modes, no settings actions.
const Response k9xRows[kOptionCount + 1] = {
    Plain,                                            // none
    Plain, Plain, SI1,   Plain, SI2,   Plain, SI3,    // 1-7
    Plain, Plain, Plain, Plain, Plain, UPD,   Plain,  // 8-14
    UNI,   Plain, Plain, Plain, Plain, Plain, Plain,  // 15-21
    Plain, Plain, Plain, Plain, Plain, Plain, Plain,  // 22-28
    Plain, Plain, Plain, Plain, Plain, Plain, Plain,  // 29-35
    Plain, Plain, Plain, Plain, Plain, Plain, Plain,  // 36-42
    Plain, Plain,                                     // 43-44
};

constexpr const char* kStagedResponse = "\\setup.iss";
constexpr const char* kStagedProgram = "\\setup.exe";

void RunActions(unsigned char actions) {
  if (actions & G) settings::SetGinaInstallOption();
  if (actions & S) settings::SetSilentLeapOption();
  if (actions & X) settings::SetXRStatus();
  if (actions & W4) settings::SetWModeSelect(4);
  if (actions & W12) settings::SetWModeSelect(12);
  if (actions & W13) settings::SetWModeSelect(13);
  if (actions & U) settings::EnsureGinaInstallOptionForUpdate();
}

// Source name in the package; nullptr for Plain. Asks the install type for
// update and uninstall, so it must run after the settings actions.
const char* ResponseSource(Response response) {
  switch (response) {
    case Plain: return nullptr;
    case SI1: return "data3.cab\\SI1.iss";
    case SI2: return "data3.cab\\SI2.iss";
    case SI3: return "data3.cab\\SI3.iss";
    case SI1XP: return "data3.cab\\SI1XP.iss";
    case SI3XP: return "data3.cab\\SI3XP.iss";
    case SI4XP: return "data3.cab\\SI4XP.iss";
    case SI5XP: return "data3.cab\\SI5XP.iss";
    case UPD:
      return settings::IsFullInstall() == 1 ? "data3.cab\\SUPDATE.iss"
                                            : "data3.cab\\SUPDATEDA.iss";
    case UNI:
      return settings::IsFullInstall() == 1 ? "data3.cab\\SUNINSTALL.iss"
                                            : "data3.cab\\SUNINSTALLDA.iss";
  }
  return nullptr;
}

// The program path is quoted: the system directory may contain blanks.
bool StartSetup(State& state, bool silent) {
  if (state.staging_folder[0] == 0) return false;  // nowhere staged
  if (!platform::Compose(state.target_path, "\"", state.staging_folder,
                         silent ? "\\setup.exe\" /s" : "\\setup.exe\"")) {
    return false;
  }
  if (!platform::Compose(state.source_path, state.staging_folder,
                         kStagedProgram)) {
    return false;
  }
  return platform::StartProgram(state.source_path, state.target_path);
}

}  // namespace

Family ClassifyFamily(unsigned long version_word) {
  if (version_word >= 0x80000000UL) return Family::kWindows9x;
  const unsigned long major = version_word & 0xFF;
  const unsigned long minor = (version_word >> 8) & 0xFF;
  if (major == 5 && minor == 0) return Family::kWindows2000;
  if (major == 5 && minor == 1) return Family::kWindowsXP;
  return Family::kOther;
}

bool Dispatch(State& state, int option) {
  const Family family = ClassifyFamily(platform::VersionWord());
  if (family == Family::kOther) return false;

  const int row = (option >= 1 && option <= kOptionCount) ? option : kNoOption;
  Response response = k9xRows[row];
  if (family != Family::kWindows9x) {
    settings::CarryOverSettings();  // every option, and none
    RunActions(kNtRows[row].actions);
    response = family == Family::kWindows2000 ? kNtRows[row].windows2000
                                              : kNtRows[row].windows_xp;
  }

  const char* source = ResponseSource(response);
  // A missing response file still gets "/s": the staged copy's result is
  // not consulted.
  if (source != nullptr) (void)StagedCopy(state, source, kStagedResponse);
  return StartSetup(state, source != nullptr);
}

}  // namespace launcher
