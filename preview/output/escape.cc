#include "preview/output/escape.h"

#include <cstdio>

namespace preview {

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0: no
// overlong form, no surrogate, nothing beyond U+10FFFF.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char c = at(0);
  size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  }
  if (length == 0 || text.size() - i < length || at(1) < low || at(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((at(k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// U+0080 to U+009F, U+2028 and U+2029 in UTF-8: the code point, or 0.
unsigned LineBreaker(std::string_view text, size_t i, size_t length) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  if (length == 2 && at(0) == 0xC2 && at(1) < 0xA0) return at(1);
  if (length == 3 && at(0) == 0xE2 && at(1) == 0x80 && (at(2) == 0xA8 || at(2) == 0xA9)) {
    return 0x2000 | (at(2) - 0x80);
  }
  return 0;
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
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
      ++i;
      continue;
    }
    if (const unsigned point = LineBreaker(text, i, length)) {
      std::snprintf(code, sizeof code, "\\u%04X", point);
      out += code;
    } else {
      out.append(text, i, length);
    }
    i += length;
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
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : Utf8Length(text, i);
    const unsigned point = c == 0x7F ? 0x7Fu : length > 1 ? LineBreaker(text, i, length) : 0;
    if (point != 0) {
      std::snprintf(code, sizeof code, "\\u%04x", point);
      out += code;
    } else {
      out.append(text, i, length == 0 ? 1 : length);
    }
    i += length == 0 ? 1 : length;
  }
  return out;
}

}  // namespace preview
