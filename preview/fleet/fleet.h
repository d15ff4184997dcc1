// A fleet: one plan per machine folder (its .reg exports and, where
// present, ver.txt), one row per machine: CSV, JSON lines or the page.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/exports/code_page.h"
#include "preview/fleet/fleet_folders.h"
#include "preview/fleet/machine_folder.h"
#include "preview/fleet/tails.h"
#include "preview/fleet/verify.h"
#include "preview/machine/plan.h"

namespace preview {

// The four settings a row shows, in column order.
constexpr const char* kRowSettings[] = {"GinaInstallOption", "SilentLeapOption",
                                        "XRStatus", "wModeSelect"};
constexpr size_t kRowSettingCount = sizeof kRowSettings / sizeof kRowSettings[0];

struct SettingCells {
  std::optional<std::string> before;  // nullopt: absent
  std::optional<std::string> after;
  // "option", "carried", "default" or "kept".
  std::string why = "kept";
};

struct FleetRow {
  std::string machine;  // its name in the fleet ("siteA/PC042" where names clash)
  std::string folder;   // as found
  bool failed = false;
  std::string error;       // failed rows: the message, naming machine and file
  std::string error_kind;  // failed rows: "folder", "ver.txt" or ".reg file"

  std::string family;  // "9x", "2000", "xp", "other"
  std::string windows;  // the version by name: "Windows XP", "Windows Server 2003", ...
  std::string tail;    // the tail this machine's command line had
  int option = 0;      // 0: the tail matched no option
  std::string response_file;  // source name staged or tried; "" for none
  std::string setup;  // "silent", "interactive" or "none"
  bool response_file_staged = false;
  bool setup_starts = false;
  bool waits = false;
  bool marker_left = false;  // the marker key was there before the run
  SettingCells settings[kRowSettingCount];
  std::string install_type;  // "full", "driver only", or "" when not asked
  std::vector<std::string> adapters_tuned;
  std::vector<Warning> warnings;

  // After the rollout (fleet --after-root): the verdict and its differences.
  std::optional<std::string> verdict;
  std::vector<Difference> differences;

  // The rollout kit (fleet --release, --kit, --logs): the machine's release,
  // or why this run did not release it, and the last line of its log.
  std::optional<std::string> release;
  std::optional<std::string> not_released;
  std::optional<std::string> kit_log;
};

// What the fleet shares: the options of every machine.
struct FleetSetup {
  Machine base;  // all but the version and the registry
  std::optional<unsigned long> version;  // --windows; else ver.txt
  Tails tails;   // the tail by family, unless base has a whole command line
  std::string program = kDefaultProgram;  // the command line's program path
  bool whole_command_line = false;  // --command-line given: tails unused
  // Where the folders collected after the rollout lie, one per machine
  // name; each row then gets its verdict.
  std::optional<std::string> after_root;
};

// A machine folder planned: the plan and the warnings of its folder.
struct FolderPlan {
  Plan plan;
  std::vector<Warning> warnings;
  // What the folder's staged.txt lists, where it has one.
  std::optional<std::vector<std::string>> staged_before;
};
// False with the error when the folder does not read. keep: which items of
// its .reg files the plan's registry gets (see ReadSource).
bool PlanFolder(const std::string& folder, const FleetSetup& setup, const CodePage& code_page,
                FolderPlan* planned, FolderError* error, Keep keep = Keep::kLauncherKeys);

// The row of one machine folder. A machine whose files do not read gets its
// error in the row. below: the folder's place below the folder given (see
// FoundFolder), where its after folder is looked for first; empty: its name.
FleetRow PlanFleetMachine(const std::string& folder, const std::string& name,
                          const FleetSetup& setup, const CodePage& code_page,
                          const std::string& below = "");
// The row of a plan already made, with the warnings of its folder.
FleetRow RowOfPlan(const Plan& plan, const std::string& machine,
                   std::vector<Warning> folder_warnings, const CodePage& code_page);

// A value of the settings key in image as the client reads it, in UTF-8:
// text up to its first zero, a four-byte REG_DWORD in decimal; nullopt when
// absent. The image is read in the current machine's storage form.
std::optional<std::string> Setting(const Image& image, const char* name,
                                   const CodePage& code_page);
// The same from an image's index.
std::optional<std::string> Setting(const KeyIndex& keys, const char* name,
                                   const CodePage& code_page);

}  // namespace preview
