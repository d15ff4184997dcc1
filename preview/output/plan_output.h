// A plan as the preview prints it: numbered steps in the order of the run
// and the settings before and after (text), or one JSON object.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "preview/exports/code_page.h"
#include "preview/machine/plan.h"

namespace preview {

std::string PlanText(const Plan& plan, const CodePage& code_page);
nlohmann::ordered_json PlanJson(const Plan& plan, const CodePage& code_page);
// The changes as JSON objects {"op", "key", "name", "type", "data", "hex"};
// with the plan, also "before" (the value before, as {"type", "data",
// "hex"}, or null) and "why" (see run_facts.h). Changes are read in the
// storage form of the plan's machine, or without a plan in the current
// machine's.
nlohmann::ordered_json ChangesJson(const std::vector<Change>& changes,
                                   const CodePage& code_page, const Plan* plan = nullptr);

}  // namespace preview
