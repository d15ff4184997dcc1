#include "launcher/dispatch.h"

#include "launcher/options.h"
#include "launcher/staging.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace launcher {

namespace {

constexpr const char* kStagedProgram = "\\setup.exe";

void RunActions(unsigned char actions) {
  if (actions & kSetGina) settings::SetGinaInstallOption();
  if (actions & kSetSilentLeap) settings::SetSilentLeapOption();
  if (actions & kSetXRStatus) settings::SetXRStatus();
  if (actions & kSetWMode4) settings::SetWModeSelect(4);
  if (actions & kSetWMode12) settings::SetWModeSelect(12);
  if (actions & kSetWMode13) settings::SetWModeSelect(13);
  if (actions & kEnsureGinaForUpdate) {
    settings::EnsureGinaInstallOptionForUpdate();
  }
}

bool ByInstallType(Response response) {
  return response == Response::kUpdate || response == Response::kUninstall;
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

namespace {

// By Response, then the driver-only files of kUpdate and kUninstall.
const char* const kResponseFiles[] = {
    nullptr,
    "data3.cab\\SI1.iss",
    "data3.cab\\SI2.iss",
    "data3.cab\\SI3.iss",
    "data3.cab\\SI1XP.iss",
    "data3.cab\\SI3XP.iss",
    "data3.cab\\SI4XP.iss",
    "data3.cab\\SI5XP.iss",
    "data3.cab\\SUPDATE.iss",
    "data3.cab\\SUNINSTALL.iss",
    "data3.cab\\SUPDATEDA.iss",
    "data3.cab\\SUNINSTALLDA.iss",
};
constexpr int kDriverOnlyOffset = 2;
static_assert(sizeof kResponseFiles / sizeof kResponseFiles[0] ==
                  static_cast<unsigned>(Response::kUninstall) + 1 + kDriverOnlyOffset,
              "one file per response, two more for the driver-only installs");

}  // namespace

const char* ResponseFile(Response response, bool full_install) {
  int index = static_cast<int>(response);
  if (!full_install && ByInstallType(response)) index += kDriverOnlyOffset;
  return kResponseFiles[index];
}

bool Dispatch(State& state, int option) {
  platform::EnterPhase(platform::Phase::kFamily);
  const Family family = ClassifyFamily(platform::VersionWord());
  if (family == Family::kOther) return false;

  const OptionRow& row = Option(option);
  Response response = row.windows_9x;
  if (family != Family::kWindows9x) {
    platform::EnterPhase(platform::Phase::kCarryOver);
    settings::CarryOverSettings();  // every option, and none
    platform::EnterPhase(platform::Phase::kOptionSettings);
    RunActions(row.actions);
    response = family == Family::kWindows2000 ? row.windows_2000
                                              : row.windows_xp;
  }

  // The install type is asked after the settings actions.
  bool full_install = true;
  if (ByInstallType(response)) {
    platform::EnterPhase(platform::Phase::kInstallType);
    full_install = settings::IsFullInstall() == 1;
  }
  const char* source = ResponseFile(response, full_install);
  // A missing response file still gets "/s": the staged copy's result is
  // not consulted.
  if (source != nullptr) {
    platform::EnterPhase(platform::Phase::kResponseFile);
    (void)StagedCopy(state, source, kStagedResponse);
  }
  platform::EnterPhase(platform::Phase::kSetupStart);
  return StartSetup(state, source != nullptr);
}

}  // namespace launcher
