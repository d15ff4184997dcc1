// After the rollout: whether a machine holds what its plan said the launcher
// would leave there, judged only on what the launcher is responsible for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "preview/code_page.h"
#include "preview/machine_folder.h"
#include "preview/plan.h"

namespace preview {

namespace verdict {
constexpr const char* kAsPlanned = "as planned";
constexpr const char* kNotRun = "not run";
constexpr const char* kNotFinished = "not finished";
constexpr const char* kDiffers = "differs";
constexpr const char* kNotCollected = "not collected";
}  // namespace verdict

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
  std::vector<Difference> differences;
  std::vector<OtherChange> changed_by_others;
};

// What was collected after the run.
struct Collected {
  std::vector<Source> sources;  // the exports
  // The names in the staging folder (staged.txt); nullopt where the folder
  // was collected without it, so the staged files are not judged.
  std::optional<std::vector<std::string>> staged;
};

// Reads a folder collected after the run: its exports and staged.txt.
bool ReadCollected(const std::string& folder, Collected* collected, FolderError* error,
                   const regfile::LeadBytes& lead_bytes = {});

// The names a staged.txt lists (dir /b): one a line, blank lines skipped,
// UTF-16LE taken as cmd /u writes it.
std::vector<std::string> StagedNames(const std::string& content);

// Compares the plan with what was collected after the run. The plan must
// have been made just before, on this thread, with the same code page.
Verification Verify(const Plan& plan, const Collected& after, const CodePage& code_page);

// The verdict as text for people (escaped as EscapeText says), and as one
// JSON object. A key's default value is named "@"; a key's own change has
// the name null in JSON.
std::string VerificationText(const Verification& verification);
nlohmann::ordered_json VerificationJson(const Verification& verification);
// "what: planned P, found F" (or what alone), as it is, and as text outputs
// show it: what escaped, the notation only of its control characters.
std::string DifferenceText(const Difference& difference);
std::string ShownDifference(const Difference& difference);

}  // namespace preview
