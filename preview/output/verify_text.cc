#include "preview/output/verify_text.h"

#include "preview/output/escape.h"

namespace preview {

std::string DifferenceText(const Difference& difference) {
  if (difference.planned.empty() && difference.found.empty()) return difference.what;
  return difference.what + ": planned " + difference.planned + ", found " + difference.found;
}

std::string ShownDifference(const Difference& difference) {
  if (difference.planned.empty() && difference.found.empty()) return EscapeText(difference.what);
  return EscapeText(difference.what) + ": planned " + EscapeNotation(difference.planned) +
         ", found " + EscapeNotation(difference.found);
}

namespace {

// Verify() says of a key itself that it was created or removed.
bool IsKeyChange(const OtherChange& change) {
  return change.found == "key created" || change.found == "key removed";
}

std::string ValueName(const OtherChange& change) {
  return change.name.empty() ? "@" : change.name;
}

}  // namespace

std::string VerificationText(const Verification& verification) {
  std::string text = "Verdict: " + verification.verdict + "\n";
  if (!verification.note.empty()) text += "  " + EscapeText(verification.note) + "\n";
  if (!verification.differences.empty()) {
    text += "\nDifferences (what, planned, found):\n";
    for (const Difference& d : verification.differences) {
      text += "  " + EscapeText(d.what) + "\n      planned: " + EscapeNotation(d.planned) +
              "\n      found:   " + EscapeNotation(d.found) + "\n";
    }
  }
  if (!verification.changed_by_others.empty()) {
    text += "\nChanged by others (not judged):\n";
    for (const OtherChange& o : verification.changed_by_others) {
      text += "  " + EscapeText(IsKeyChange(o) ? o.key : o.key + "\\" + ValueName(o)) + ": " +
              EscapeNotation(o.found) + "\n";
    }
  }
  return text;
}

nlohmann::ordered_json VerificationJson(const Verification& verification) {
  nlohmann::ordered_json out;
  out["verdict"] = verification.verdict;
  if (!verification.note.empty()) out["note"] = verification.note;
  out["differences"] = nlohmann::ordered_json::array();
  for (const Difference& d : verification.differences) {
    out["differences"].push_back({{"what", d.what}, {"planned", d.planned}, {"found", d.found}});
  }
  out["changed_by_others"] = nlohmann::ordered_json::array();
  for (const OtherChange& o : verification.changed_by_others) {
    out["changed_by_others"].push_back(
        {{"key", o.key},
         {"name", IsKeyChange(o) ? nlohmann::ordered_json(nullptr)
                                 : nlohmann::ordered_json(ValueName(o))},
         {"found", o.found}});
  }
  return out;
}

}  // namespace preview
