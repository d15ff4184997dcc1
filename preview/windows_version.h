// Windows versions by the names administrators use, as the version word
// GetVersion returns to the launcher.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace preview {

struct WindowsVersion {
  const char* name;          // as given on the command line: "xp"
  const char* display;       // "Windows XP"
  unsigned long word;        // GetVersion's answer
};

const std::vector<WindowsVersion>& KnownVersions();
// A known name (any letter case) or a version word written in hex with
// "0x" ("0x0A280105"); nullopt for anything else.
std::optional<unsigned long> ParseVersion(const std::string& text);
// "Windows XP" for a known word, else "version 6.1 (build 7601)" and the
// like, read from the word.
std::string DescribeVersion(unsigned long word);
// The system folder Windows of that version has by default.
std::string DefaultSystemDirectory(unsigned long word);

}  // namespace preview
