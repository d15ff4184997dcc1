// The escaping of every text output, the CSV cell rules and the JSON text:
// each escaped form is undone by a decoder written here from the rules, so
// no two inputs can look the same.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "preview/output/escape.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // the escapes are written in upper case
}

std::optional<unsigned long> Hex(const std::string& text, size_t at, size_t digits) {
  if (at + digits > text.size()) return std::nullopt;
  unsigned long value = 0;
  for (size_t k = 0; k < digits; ++k) {
    const int d = HexDigit(text[at + k]);
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<unsigned long>(d);
  }
  return value;
}

std::string Utf8Of(unsigned long point) {
  std::string out;
  if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
  } else {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (point & 0x3F));
  return out;
}

// The text behind an escaped form; nullopt for a form the rules never make
// (a raw control byte, a lone backslash, an escape of a printable byte).
// In notation, "\\" and "\"" are regedit's own and stay as they are.
std::optional<std::string> Decoded(const std::string& shown, bool notation) {
  std::string out;
  for (size_t i = 0; i < shown.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(shown[i]);
    if (c < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '\\') {
      out += shown[i];
      continue;
    }
    const char kind = i + 1 < shown.size() ? shown[i + 1] : '\0';
    if (kind == '\\' || (notation && kind == '"')) {
      if (notation) out += shown.substr(i, 2);
      if (!notation) out += '\\';
      ++i;
    } else if (kind == 'x') {
      const auto byte = Hex(shown, i + 2, 2);
      if (!byte || (*byte >= 0x20 && *byte < 0x7F)) return std::nullopt;
      out += static_cast<char>(*byte);
      i += 3;
    } else if (kind == 'u') {
      const auto point = Hex(shown, i + 2, 4);
      if (!point || !((*point >= 0x80 && *point <= 0x9F) || *point == 0x2028 || *point == 0x2029)) {
        return std::nullopt;
      }
      out += Utf8Of(*point);
      i += 5;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

TEST(EscapeText, EveryFormIsUndoneExactly) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain, text", "plain, text"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 stays
      {"pc00013 B\xC3\xBCro", "pc00013 B\xC3\xBCro"},
      {"\xD0\x9F\xD0\xA0 \xE7\xB5\x8C\xE7\x90\x86 \xF0\x9F\x98\x80",
       "\xD0\x9F\xD0\xA0 \xE7\xB5\x8C\xE7\x90\x86 \xF0\x9F\x98\x80"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"tab\tCR\rLF\n", "tab\\x09CR\\x0DLF\\x0A"},
      {"\x1A\x1B[31m", "\\x1A\\x1B[31m"},  // no terminal sequence gets through
      {"\x7F", "\\x7F"},
      // A backslash is doubled, so a real line break and the four
      // characters \x0A differ, and so do the escapes of both.
      {"C:\\Pkg\\x", "C:\\\\Pkg\\\\x"},
      {"a\nb", "a\\x0Ab"},
      {"a\\x0Ab", "a\\\\x0Ab"},
      {"\\u0085", "\\\\u0085"},
      // C1 controls as characters, and as bytes that are no UTF-8.
      {"\xC2\x80\xC2\x85\xC2\x9F", "\\u0080\\u0085\\u009F"},
      {"\x85", "\\x85"},
      {"\xC2\xA0", "\xC2\xA0"},  // U+00A0 is text
      {"a\xE2\x80\xA8" "b\xE2\x80\xA9", "a\\u2028b\\u2029"},
      {"\xE2\x80\xA7", "\xE2\x80\xA7"},
      // Not UTF-8: cut short, overlong, a surrogate, beyond U+10FFFF.
      {"\xFF\xFE", "\\xFF\\xFE"},
      {"\xC3", "\\xC3"},
      {"\xE2\x80", "\\xE2\\x80"},
      {"\xC0\xAF", "\\xC0\\xAF"},
      {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"", ""},
  };
  for (const auto& c : cases) {
    const std::string shown = preview::EscapeText(c.in);
    EXPECT_EQ(c.out, shown) << c.in;
    EXPECT_EQ(c.in, Decoded(shown, false).value_or("(no decoding)")) << shown;
  }
}

TEST(EscapeNotation, OnlyControlsAreEscaped) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"\"C:\\\\Program Files\\\\Client\"", "\"C:\\\\Program Files\\\\Client\""},
      {"\"say \\\"hi\\\"\"", "\"say \\\"hi\\\"\""},
      {"\"a\nb\"", "\"a\\x0Ab\""},
      {"\"a\\\\x0Ab\"", "\"a\\\\x0Ab\""},  // the text a\x0Ab, as regedit writes it
      {"\"\xC2\x85\x81\"", "\"\\u0085\\x81\""},
      {"dword:0000000c", "dword:0000000c"},
      {"hex(2):41,00", "hex(2):41,00"},
      {"(none)", "(none)"},
  };
  for (const auto& c : cases) {
    const std::string shown = preview::EscapeNotation(c.in);
    EXPECT_EQ(c.out, shown) << c.in;
    EXPECT_EQ(c.in, Decoded(shown, true).value_or("(no decoding)")) << shown;
  }
}

TEST(CsvCell, FormulasInertNumbersKept) {
  const struct {
    std::string in;  // escaped text
    std::string out;
  } cases[] = {
      {"", ""},
      {"pc1", "pc1"},
      {"(none)", "(none)"},
      {"data3.cab\\\\SI1XP.iss", "data3.cab\\\\SI1XP.iss"},
      // Numbers stay numbers.
      {"22", "22"},
      {"-1", "-1"},
      {"4294967295", "4294967295"},
      {"-1.5", "-1.5"},
      // What a spreadsheet evaluates gets a leading quote, and quotes.
      {"=1+2", "\"'=1+2\""},
      {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
      {"+1", "\"'+1\""},
      {"@SUM(1)", "\"'@SUM(1)\""},
      {"-gina /S /I1", "\"'-gina /S /I1\""},
      {"-", "\"'-\""},
      {"-1+2", "\"'-1+2\""},
      {"-1.", "\"'-1.\""},
      {"--1", "\"'--1\""},
      {"\t=1", "\"'\t=1\""},
      {"\r=1", "\"'\r=1\""},
      {"\\x09=1", "\\x09=1"},  // an escaped tab starts with a backslash
      {"1+2", "1+2"},
      // A leading quote gets one more, so the first is always ours.
      {"'=1", "\"''=1\""},
      {"'abc", "\"''abc\""},
      {"a'b", "a'b"},
      // Separators a spreadsheet may split at, and quotes.
      {"a,b", "\"a,b\""},
      {"a;b", "\"a;b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, preview::CsvCell(c.in)) << c.in;
}

TEST(DumpJson, RealTextWithEveryControlEscaped) {
  const struct {
    std::string in;
    std::string dumped;  // the string as the JSON text holds it
    std::string parsed;  // what a JSON parser gives back
  } cases[] = {
      {"pc00013 B\xC3\xBCro", "\"pc00013 B\xC3\xBCro\"", "pc00013 B\xC3\xBCro"},
      {"C:\\Pkg", "\"C:\\\\Pkg\"", "C:\\Pkg"},
      {"a\nb\t", "\"a\\nb\\t\"", "a\nb\t"},
      {"\x7F", "\"\\u007f\"", "\x7F"},
      {"x\xC2\x85y\xC2\x9F", "\"x\\u0085y\\u009f\"", "x\xC2\x85y\xC2\x9F"},
      {"\xE2\x80\xA8\xE2\x80\xA9", "\"\\u2028\\u2029\"", "\xE2\x80\xA8\xE2\x80\xA9"},
      {"\xC2\xA0\xE2\x80\xA7", "\"\xC2\xA0\xE2\x80\xA7\"", "\xC2\xA0\xE2\x80\xA7"},
      // Bytes that are no UTF-8 (a Linux file name) become U+FFFD.
      {"pc\xFF" "1", "\"pc\xEF\xBF\xBD" "1\"", "pc\xEF\xBF\xBD" "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    nlohmann::ordered_json json;
    json[c.in] = c.in;  // keys too
    const std::string text = preview::DumpJson(json);
    EXPECT_EQ("{" + c.dumped + ":" + c.dumped + "}", text);
    const nlohmann::ordered_json back = nlohmann::ordered_json::parse(text);
    EXPECT_EQ(c.parsed, back.at(c.parsed).get<std::string>());
    // Indented, the same object.
    EXPECT_EQ(back, nlohmann::ordered_json::parse(preview::DumpJson(json, 2)));
  }
}

}  // namespace
