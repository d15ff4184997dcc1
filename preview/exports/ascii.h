// ASCII case folding, the preview's one rule for names that compare without
// regard to letter case (file names, the launcher's key and value names,
// machine names): A-Z and a-z only, every other unit as it is. The
// registry's own rule, which depends on the storage form, is
// memory::ComparedName.
#pragma once

#include <string>

namespace preview {

constexpr char16_t AsciiLower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
}
constexpr char16_t AsciiUpper(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
}
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}
inline std::string AsciiUpper(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}
inline std::u16string AsciiLower(std::u16string text) {
  for (char16_t& unit : text) unit = AsciiLower(unit);
  return text;
}
inline std::u16string AsciiUpper(std::u16string text) {
  for (char16_t& unit : text) unit = AsciiUpper(unit);
  return text;
}

}  // namespace preview
