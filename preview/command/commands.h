// The preview's commands, one file each behind its command line (main.cc),
// over the shared option setup (options.h). Each returns the exit code: 0,
// or 2 after one message on stderr for bad input of any kind.
#pragma once

#include <string>
#include <vector>

#include "preview/command/options.h"

namespace preview {

int RunPlan(const PlanOptions& options);
int RunTable(const std::string& format);
// One CSV row (or JSON line) per machine folder, a summary on stderr; 1
// when any machine failed.
int RunFleet(const PlanOptions& options, const std::vector<std::string>& folders);
int RunCollectScript();
// Writes the rollout kit; 0, or 2 with one message.
int RunRolloutKit(const KitOptions& options);
// Plans BEFORE and compares with AFTER (machine folders collected before and
// after the rollout): 0 for "as planned", 1 for any other verdict, 2 for
// bad input.
int RunVerify(const PlanOptions& options, const std::string& before, const std::string& after);

}  // namespace preview
