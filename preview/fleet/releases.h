// Releases of the rollout kit: one record a machine, KITDIR\REL\<NAME>.TXT,
// holding the tail that machine's plan used, which the kit's login script
// then runs once. The planned tails are the tails run: none is typed twice.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "preview/fleet/fleet.h"

namespace preview {

struct ReleaseRecord {
  std::string id;
  std::string tail;  // the machine's command-line tail, ASCII
};

// The kit's records, by machine name in upper case; a record that does not
// read as KIT.EXE reads it is left out. False where KITDIR holds no kit.
bool ReadReleases(const std::string& kit_dir, std::map<std::string, ReleaseRecord>* records);

// What the administrator asks of the releases.
struct ReleaseRequest {
  std::string kit_dir;
  // Released whatever their plan says, each anew (a done machine runs
  // again): by name, without regard to ASCII case.
  std::vector<std::string> machines;
  // Every machine not released yet, not only those whose plan starts a
  // silent setup with no warning.
  bool all = false;
  std::vector<std::string> withdraw;  // records removed
};

struct ReleaseOutcome {
  std::vector<std::string> released;  // anew, by this run
  std::vector<std::string> kept;      // released before, left as they were
  std::vector<std::string> withdrawn;
  // Not released, by machine: why (a warning kind, "interactive setup", ...).
  std::map<std::string, std::string> not_released;
  std::vector<std::string> unknown;   // names asked for that no row has
};

// Why a row cannot be released at all ("" when it can): a failed plan, a
// name the kit refuses, no setup, a tail a batch file cannot hold.
std::string CannotRelease(const FleetRow& row);

// Applies the request to the kit's records: writes and removes
// REL\<NAME>.TXT, each through a temporary file. A new release gets an id
// that differs from the machine's earlier one. Throws std::runtime_error
// where the kit cannot be written.
ReleaseOutcome Release(const std::vector<FleetRow>& rows, const ReleaseRequest& request);

// The last line of each machine's log in the kit's log folder
// (DROP\log\<NAME>.TXT), by machine name in upper case.
std::map<std::string, std::string> ReadKitLogs(const std::string& folder);
// What a log line says the logon did: its word after the date, time and
// name ("collected", "started", "done", ...); "" for a line of no such form.
std::string LogWord(const std::string& line);

namespace warning {
constexpr const char* kReleasedTailDiffers = "released tail differs";
}  // namespace warning

// Gives each row its release (where records has one for it, with a warning
// where the released tail is not the planned one) and its log's last line.
void AnnotateKit(const std::map<std::string, ReleaseRecord>* records,
                 const std::map<std::string, std::string>* logs, std::vector<FleetRow>* rows);

}  // namespace preview
