// The fleet's rows as a table: CSV lines or JSON objects, one per machine,
// with the same columns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "preview/fleet/fleet.h"

namespace preview {

// CSV: the header and one line per row, without line ends. The verdict
// columns only when with_verdicts.
// The kit's columns (release, not_released, kit_log) only when with_kit.
std::string FleetHeader(bool with_verdicts = false, bool with_kit = false);
std::string FleetLine(const FleetRow& row, bool with_verdicts = false, bool with_kit = false);
// One JSON object with the CSV's column names as keys: absent values null,
// true/false as booleans.
nlohmann::ordered_json FleetJson(const FleetRow& row, bool with_verdicts = false,
                                 bool with_kit = false);

}  // namespace preview
