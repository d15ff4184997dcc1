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
// The version word of what the "ver" command printed ("Windows 98 [Version
// 4.10.1998]", "Microsoft Windows XP [Version 5.1.2600]", Wine's shorter
// "Microsoft Windows 5.1.2600", ...), as bytes or as UTF-16LE with or
// without its mark ("cmd /u" writes none); a final Ctrl-Z is ignored.
// nullopt with the reason for a text that names no Windows version; the
// reason quotes the text in printable ASCII only.
std::optional<unsigned long> VersionFromVer(const std::string& text,
                                            std::string* error);
// The system folder Windows of that version has by default.
std::string DefaultSystemDirectory(unsigned long word);

}  // namespace preview
