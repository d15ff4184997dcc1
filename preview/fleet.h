// A fleet: one plan per machine folder (its .reg exports and, where
// present, ver.txt), one CSV row per machine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/code_page.h"
#include "preview/plan.h"

namespace preview {

struct FleetRow {
  std::string machine;             // the folder's name
  std::vector<std::string> cells;  // the columns after "machine", "error" last
  bool failed = false;
};

// The header line, without its line end.
std::string FleetHeader();
// The row of one machine folder. base holds the options shared by the
// fleet; version, when given, overrides ver.txt. A machine whose files do
// not read gets its error in the row.
FleetRow PlanFleetMachine(const std::string& folder, const Machine& base,
                          const std::optional<unsigned long>& version,
                          const CodePage& code_page);
std::string FleetLine(const FleetRow& row);

// A value of the settings key in image as the client reads it, in UTF-8:
// text up to its first zero, a four-byte REG_DWORD in decimal; "" when
// absent.
std::string Setting(const Image& image, const char* name, const CodePage& code_page);

}  // namespace preview
