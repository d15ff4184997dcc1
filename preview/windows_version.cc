#include "preview/windows_version.h"

#include <cstdio>
#include <cstdlib>

namespace preview {

const std::vector<WindowsVersion>& KnownVersions() {
  // Low byte major, next byte minor, high word the build on NT; bit 31 set
  // on the 9x family. Without a manifest, as the launcher runs, 8.1 and 10
  // would report 6.2; the words here are the versions themselves.
  static const std::vector<WindowsVersion> versions = {
      {"95", "Windows 95", 0xC3B60004},
      {"98", "Windows 98", 0xC0000A04},
      {"me", "Windows Me", 0xC0005A04},
      {"nt4", "Windows NT 4.0", 0x05650004},
      {"2000", "Windows 2000", 0x08930005},
      {"xp", "Windows XP", 0x0A280105},
      {"2003", "Windows Server 2003", 0x0ECE0205},
      {"vista", "Windows Vista", 0x17700006},
      {"7", "Windows 7", 0x1DB10106},
      {"8", "Windows 8", 0x23F00206},
      {"10", "Windows 10", 0x4A65000A},
  };
  return versions;
}

std::optional<unsigned long> ParseVersion(const std::string& text) {
  std::string lower;
  for (char c : text) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  for (const WindowsVersion& v : KnownVersions()) {
    if (lower == v.name) return v.word;
  }
  if (lower.size() > 2 && lower.size() <= 10 && lower.compare(0, 2, "0x") == 0) {
    char* end = nullptr;
    const unsigned long long word = std::strtoull(lower.c_str() + 2, &end, 16);
    if (*end == 0 && word <= 0xFFFFFFFFull && lower.find_first_of("+- ") == std::string::npos) {
      return static_cast<unsigned long>(word);
    }
  }
  return std::nullopt;
}

std::string DescribeVersion(unsigned long word) {
  for (const WindowsVersion& v : KnownVersions()) {
    if (v.word == word) return v.display;
  }
  char text[96];
  const unsigned long major = word & 0xFF;
  const unsigned long minor = (word >> 8) & 0xFF;
  if (word >= 0x80000000UL) {
    std::snprintf(text, sizeof text, "a Windows 9x version %lu.%lu", major, minor);
  } else {
    std::snprintf(text, sizeof text, "Windows NT version %lu.%lu (build %lu)", major,
                  minor, (word >> 16) & 0x7FFF);
  }
  return text;
}

std::string DefaultSystemDirectory(unsigned long word) {
  return word >= 0x80000000UL ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\system32";
}

}  // namespace preview
