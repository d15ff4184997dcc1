#include "preview/exports/windows_version.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "preview/exports/ascii.h"

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
  const std::string lower = AsciiLower(text);
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

namespace {

// The code units of ver.txt. "cmd /u" writes UTF-16LE: with the mark when
// PowerShell redirects it, without from "cmd /u /c ver > ver.txt", where
// the NULs after every ASCII byte give it away. Other text stays bytes. The
// Ctrl-Z "copy /a" appends needs no care: like every control character it
// ends a number and shows as a blank.
std::u16string VerUnits(const std::string& text, bool* wide) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t from = 0;
  if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE) {
    *wide = true;
    from = 2;
  } else {
    bool odd_nul = n >= 2, any = false;
    for (size_t i = 0; odd_nul && i + 1 < n; i += 2) {
      odd_nul = s[i + 1] == 0;
      any = any || s[i] != 0;
    }
    *wide = odd_nul && any;
  }
  std::u16string units;
  size_t i = from;
  if (*wide) {
    for (; i + 1 < n; i += 2) units.push_back(static_cast<char16_t>(s[i] | s[i + 1] << 8));
  }
  for (; i < n; ++i) units.push_back(s[i]);  // bytes, or one left after UTF-16
  return units;
}

// The start of the text for a message: printable ASCII as it is, a run of
// control characters as one blank, anything else escaped, so no raw byte
// reaches a terminal or a CSV cell.
std::string Excerpt(const std::u16string& units, bool wide) {
  std::string shown;
  for (char16_t c : units) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else if (c < 0x20) {
      if (!shown.empty() && shown.back() != ' ') shown += ' ';
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, wide ? "\\u%04X" : "\\x%02X",
                    static_cast<unsigned>(c));
      shown += escaped;
    }
    if (shown.size() >= 60) break;
  }
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  return shown;
}

// "4.10.1998" at pos: its numbers, at least major and minor.
bool Numbers(const std::string& text, size_t pos, std::vector<unsigned long>* out) {
  out->clear();
  while (pos < text.size() && out->size() < 3) {
    if (!std::isdigit(static_cast<unsigned char>(text[pos]))) break;
    unsigned long n = 0;
    size_t digits = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
           digits < 6) {
      n = n * 10 + static_cast<unsigned long>(text[pos++] - '0');
      ++digits;
    }
    out->push_back(n);
    if (pos < text.size() && text[pos] == '.') ++pos; else break;
  }
  return out->size() >= 2;
}

}  // namespace

std::optional<unsigned long> VersionFromVer(const std::string& file, std::string* error) {
  bool wide = false;
  const std::u16string units = VerUnits(file, &wide);
  // What follows reads ASCII only; other characters stand as one byte that
  // is neither a letter, a digit nor a line end.
  std::string text;
  text.reserve(units.size());
  for (char16_t c : units) text += c < 0x80 ? static_cast<char>(c) : '\x80';
  // The line that names Windows; ver on 9x prints a blank line first.
  std::string line;
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::string candidate = text.substr(from, end - from);
    if (AsciiLower(candidate).find("windows") != std::string::npos) {
      line = candidate;
      break;
    }
    from = end + 1;
  }
  const std::string lower = AsciiLower(line);
  std::vector<unsigned long> v;
  size_t at = lower.find("version ");
  bool found = at != std::string::npos && Numbers(lower, at + 8, &v);
  for (size_t i = 0; !found && i < lower.size(); ++i) {
    // Wine's form: the numbers right after a blank.
    if (std::isdigit(static_cast<unsigned char>(lower[i])) && i > 0 && lower[i - 1] == ' ' &&
        lower.compare(0, 17, "microsoft windows") == 0) {
      found = Numbers(lower, i, &v) && v.size() == 3;
    }
  }
  if (line.empty() || !found) {
    *error = "ver.txt names no Windows version: \"" + Excerpt(units, wide) + "\"";
    return std::nullopt;
  }
  const unsigned long major = v[0];
  const unsigned long minor = v[1];
  const unsigned long build = v.size() > 2 ? v[2] & 0x7FFF : 0;
  const bool nt = lower.find("windows nt") != std::string::npos;
  if (major == 4 && !nt && (minor == 0 || minor == 10 || minor == 90)) {
    return 0xC0000000UL | minor << 8 | major;  // the 9x family
  }
  if (major == 4 && minor != 0) {
    *error = "ver.txt names an unknown Windows 4." + std::to_string(minor);
    return std::nullopt;
  }
  if (major < 4 || major > 10 || minor > 99) {
    *error = "ver.txt names an unknown Windows version " + std::to_string(major) + "." +
             std::to_string(minor);
    return std::nullopt;
  }
  return build << 16 | minor << 8 | major;
}

std::string DefaultSystemDirectory(unsigned long word) {
  return word >= 0x80000000UL ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\system32";
}

}  // namespace preview
