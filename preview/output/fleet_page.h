// The fleet as one HTML page for administrators: the groups they look at
// first (failures, verdicts, warnings, setups, families, settings, ...),
// each figure with its count and, one click away, the machines in it.
#pragma once

#include <string>
#include <vector>

#include "preview/fleet/fleet.h"

namespace preview {

struct FleetPageInfo {
  std::string title;           // "Fleet plan"; empty: that
  std::string generated_from;  // the folders and tails, in words
  std::vector<std::string> notes;  // what was found of the folders, to look at
};

// A self-contained page: inline style only, no script, nothing fetched.
// Every figure is an element with data-figure="GROUP:VALUE" and
// data-count="N"; all but machines:* and failed:* count planned machines.
std::string FleetPage(const std::vector<FleetRow>& rows, const FleetPageInfo& info);

}  // namespace preview
