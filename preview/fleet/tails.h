// The command-line tail per Windows family, as a login script gives one
// command line to 9x and another to NT machines.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "launcher/dispatch.h"

namespace preview {

struct Tails {
  std::string all;  // --tail: the families not named
  std::map<launcher::Family, std::string> by_family;  // --tail-for

  const std::string& For(launcher::Family family) const;
};

constexpr const char* kDefaultProgram = "C:\\Pkg\\launcher.exe";

// The command line of the launcher at program started with tail, as a
// login script would write it (the path quoted when it has a blank).
std::string CommandLineFor(const std::string& tail, const std::string& program = kDefaultProgram);

// "FAMILY=TAIL", FAMILY one of 9x, 2000, xp, other. False with the reason.
bool AddTailFor(const std::string& argument, Tails* tails, std::string* error);

}  // namespace preview
