// A verification as the preview shows it: text for people, one JSON
// object for scripts, and its differences as one line each.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "preview/fleet/verify.h"

namespace preview {

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
