#include "preview/command/summary.h"

#include <map>
#include <set>

#include "preview/fleet/verify.h"
#include "preview/output/escape.h"

namespace preview {

std::optional<std::string> Failure(const FleetRow& row) {
  if (row.failed) return row.error;
  if (row.verdict && *row.verdict == verdict::kUnreadable) {
    return "after the rollout: " + (row.differences.empty() ? std::string() : row.differences[0].what);
  }
  return std::nullopt;
}

std::string FleetSummary(const std::vector<FleetRow>& rows) {
  size_t failed = 0, planned = 0;
  std::map<std::string, std::vector<std::string>> warned;  // kind -> machines
  for (const FleetRow& row : rows) {
    if (Failure(row)) ++failed;
    if (row.failed) continue;
    ++planned;
    std::set<std::string> kinds;
    for (const Warning& w : row.warnings) kinds.insert(w.kind);
    for (const std::string& kind : kinds) warned[kind].push_back(row.machine);
  }
  const auto machines = [](size_t n) {
    return std::to_string(n) + (n == 1 ? " machine" : " machines");
  };
  std::string text = "fleet: " + machines(rows.size()) + ", " + std::to_string(planned) +
                     " planned, " + std::to_string(failed) + " failed\n";
  constexpr size_t kShown = 20;
  size_t shown = 0;
  for (const FleetRow& row : rows) {
    const std::optional<std::string> failure = Failure(row);
    if (!failure) continue;
    if (shown++ == kShown) {
      text += "  ... and " + std::to_string(failed - kShown) + " more failed (see the error and differences columns)\n";
      break;
    }
    text += "  failed: " + EscapeText(row.machine) + ": " + EscapeText(*failure) + "\n";
  }
  std::map<std::string, size_t> verdicts;
  for (const FleetRow& row : rows) {
    if (!row.failed && row.verdict) ++verdicts[*row.verdict];
  }
  for (const auto& [verdict, count] : verdicts) {
    text += "  verdict: " + verdict + ": " + machines(count) + "\n";
  }
  for (const auto& [kind, names] : warned) {
    std::string some;
    for (size_t i = 0; i < names.size() && i < 5; ++i) {
      some += (i == 0 ? "" : ", ") + EscapeText(names[i]);
    }
    if (names.size() > 5) some += ", ...";
    text += "  warning: " + kind + ": " + machines(names.size()) + " (" + some + ")\n";
  }
  return text;
}

std::string ReleaseSummary(const ReleaseOutcome& outcome, const std::string& kit_dir) {
  const auto list = [](const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < 5; ++i) {
      text += (i == 0 ? "" : ", ") + EscapeText(names[i]);
    }
    return text + (names.size() > 5 ? ", ..." : "");
  };
  std::string text = "release: " + std::to_string(outcome.released.size()) +
                     " released into " + EscapeText(kit_dir);
  if (!outcome.released.empty()) text += " (" + list(outcome.released) + ")";
  text += ", " + std::to_string(outcome.kept.size()) + " released before and kept";
  if (!outcome.withdrawn.empty()) {
    text += ", " + std::to_string(outcome.withdrawn.size()) + " withdrawn (" +
            list(outcome.withdrawn) + ")";
  }
  text += "\n";
  std::map<std::string, std::vector<std::string>> by_reason;
  for (const auto& [machine, why] : outcome.not_released) by_reason[why].push_back(machine);
  for (const auto& [why, machines] : by_reason) {
    text += "  not released: " + why + ": " + std::to_string(machines.size()) + " (" +
            list(machines) + ")\n";
  }
  if (!outcome.unknown.empty()) {
    text += "  no such machine in the fleet: " + list(outcome.unknown) + "\n";
  }
  return text;
}

}  // namespace preview
