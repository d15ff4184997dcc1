// What the fleet command tells the terminal at the end, on stderr.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/fleet/fleet.h"
#include "preview/fleet/releases.h"

namespace preview {

// Why a machine failed: its folder did not plan, or the folder collected
// after the rollout did not read (the message names the file); nullopt for
// a machine that did not fail.
std::optional<std::string> Failure(const FleetRow& row);

// How many were planned and failed, every failure (the first 20), each
// verdict, and each kind of warning with how many machines have it.
std::string FleetSummary(const std::vector<FleetRow>& rows);

// What --release did to the kit's records.
std::string ReleaseSummary(const ReleaseOutcome& outcome, const std::string& kit_dir);

}  // namespace preview
