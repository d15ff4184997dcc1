#include "preview/fleet/tails.h"

#include "preview/exports/ascii.h"

namespace preview {

const std::string& Tails::For(launcher::Family family) const {
  auto found = by_family.find(family);
  return found == by_family.end() ? all : found->second;
}

std::string CommandLineFor(const std::string& tail, const std::string& program) {
  const std::string path =
      program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
  return path + (tail.empty() ? "" : " " + tail);
}

bool AddTailFor(const std::string& argument, Tails* tails, std::string* error) {
  const size_t equals = argument.find('=');
  const std::string family = AsciiLower(argument.substr(0, equals));
  static const struct {
    const char* name;
    launcher::Family family;
  } kFamilies[] = {{"9x", launcher::Family::kWindows9x},
                   {"2000", launcher::Family::kWindows2000},
                   {"xp", launcher::Family::kWindowsXP},
                   {"other", launcher::Family::kOther}};
  for (const auto& f : kFamilies) {
    if (equals == std::string::npos || family != f.name) continue;
    if (tails->by_family.count(f.family) != 0) {
      *error = "--tail-for: " + family + " given twice";
      return false;
    }
    tails->by_family[f.family] = argument.substr(equals + 1);
    return true;
  }
  *error = "--tail-for: \"" + argument + "\" is not FAMILY=TAIL with FAMILY one of 9x, 2000, xp, other";
  return false;
}

}  // namespace preview
