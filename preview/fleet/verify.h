// After the rollout: whether a machine holds what its plan said the launcher
// would leave there, judged only on what the launcher is responsible for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/exports/code_page.h"
#include "preview/fleet/machine_folder.h"
#include "preview/machine/plan.h"

namespace preview {

namespace verdict {
// The run did what was planned and started the setup.
constexpr const char* kAsPlanned = "as planned";
// The run did what was planned; no setup starts there (a Windows the
// launcher has no setup for, or no setup program in the package), so
// nothing was installed and the marker key stays.
constexpr const char* kNoSetup = "as planned, no setup";
constexpr const char* kNotRun = "not run";
constexpr const char* kNotFinished = "not finished";
constexpr const char* kDiffers = "differs";
// Nothing the plan changes shows whether the launcher ran, and the staged
// files cannot tell either (no staged.txt, or nothing new staged).
constexpr const char* kCannotTell = "cannot tell";
// No folder for the machine after the rollout.
constexpr const char* kNotCollected = "not collected";
// A folder that is no collection: empty, or without ver.txt.
constexpr const char* kIncomplete = "incomplete collection";
// The folder's ver.txt names another Windows than before: not judged as
// that machine.
constexpr const char* kOtherWindows = "other Windows";
// The folder does not read (a damaged export, an unknown ver.txt).
constexpr const char* kUnreadable = "unreadable";
}  // namespace verdict

// Verdicts that say the after folder could not be judged at all.
bool NotJudged(const std::string& verdict);

struct Difference {
  std::string what;  // "HKEY_...\key\name", "marker key", "staged file setup.exe", ...
  // In regedit's notation ("1" quoted, dword:...) or words of ours
  // ("present", "(none)"); both empty where what says it all.
  std::string planned;
  std::string found;
};

// A value or key the plan does not touch that differs after the run.
struct OtherChange {
  std::string key;
  std::string name;  // "" for a key, and for a key's default value
  std::string found;  // "key created", "key removed", or the value in regedit's notation
};

struct Verification {
  std::string verdict;
  std::string note;  // why, where the verdict needs a word more
  std::vector<Difference> differences;
  std::vector<OtherChange> changed_by_others;
};

// What was collected after the run.
struct Collected {
  bool empty = false;  // the folder holds nothing at all
  // From ver.txt; nullopt where the folder has none.
  std::optional<unsigned long> version;
  std::vector<Source> sources;  // the exports
  // The names in the staging folder (staged.txt); nullopt where the folder
  // was collected without it, so the staged files are not judged.
  std::optional<std::vector<std::string>> staged;
};

// Reads a folder collected after the run: ver.txt, its exports and
// staged.txt. False, with the error, where something there does not read
// (a ver.txt naming no known Windows included).
bool ReadCollected(const std::string& folder, Collected* collected, FolderError* error,
                   const regfile::LeadBytes& lead_bytes = {});

// The names the folder's staged.txt lists; nullopt where it has none.
bool ReadStagedList(const std::string& folder, std::optional<std::vector<std::string>>* staged,
                    FolderError* error);

// The names a staged.txt lists (dir /b): one a line, blank lines skipped,
// UTF-16LE taken as cmd /u writes it.
std::vector<std::string> StagedNames(const std::string& content);

// Compares the plan with what was collected after the run: every value the
// run wrote or deleted and every key it created must be found as the plan
// left it, whatever it was before; staged files where staged.txt lists
// them; for a wait with the adapter fix, every matching adapter tuned; the
// marker key. staged_before: what the folder collected before the run
// listed in its staging folder, where it has staged.txt. The code page is
// the plan's. The thread's current machine is left as it was.
Verification Verify(const Plan& plan, const Collected& after, const CodePage& code_page,
                    const std::optional<std::vector<std::string>>& staged_before = std::nullopt);

}  // namespace preview
