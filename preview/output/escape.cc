#include "preview/output/escape.h"

#include "preview/exports/unicode.h"

#include <cstdio>

namespace preview {

namespace {

// U+0080 to U+009F, U+2028 and U+2029: lines could break at them.
bool BreaksLines(char32_t point) {
  return (point >= 0x80 && point <= 0x9F) || point == 0x2028 || point == 0x2029;
}

std::string Escape(std::string_view text, bool backslash) {
  std::string out;
  out.reserve(text.size());
  char code[16];
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) {
        std::snprintf(code, sizeof code, "\\x%02X", c);
        out += code;
      } else {
        if (c == '\\' && backslash) out += '\\';
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    const Utf8Sequence sequence = NextUtf8(text, i);
    if (sequence.length == 0) {
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
      ++i;
      continue;
    }
    if (BreaksLines(sequence.point)) {
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(sequence.point));
      out += code;
    } else {
      out.append(text, i, sequence.length);
    }
    i += sequence.length;
  }
  return out;
}

// What a spreadsheet reads as a number, not as a formula: -1, 22, 0.5.
bool PlainNumber(std::string_view text) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const auto digits = [&] {
    const size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > from;
  };
  if (!digits()) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  return i == text.size();
}

}  // namespace

std::string EscapeText(std::string_view text) { return Escape(text, true); }

std::string EscapeNotation(std::string_view notation) { return Escape(notation, false); }

std::string CsvCell(const std::string& escaped) {
  std::string text;
  // A text that starts with the quote gets one more: the first is always
  // ours, and taking it off gives the text back.
  const bool formula = !escaped.empty() &&
                       std::string_view("=+-@\t\r'").find(escaped[0]) != std::string_view::npos &&
                       !PlainNumber(escaped);
  if (formula) text += '\'';
  text += escaped;
  if (!formula && text.find_first_of(",;\t\r\n\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string DumpJson(const nlohmann::ordered_json& json, int indent) {
  const std::string text =
      json.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  char code[16];
  // The dump is valid UTF-8, and these occur only inside its strings.
  for (size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = NextUtf8(text, i);
    const size_t length = sequence.length == 0 ? 1 : sequence.length;
    if (sequence.length != 0 && (sequence.point == 0x7F || BreaksLines(sequence.point))) {
      std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(sequence.point));
      out += code;
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

}  // namespace preview
