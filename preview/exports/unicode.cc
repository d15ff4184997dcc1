#include "preview/exports/unicode.h"

namespace preview {

std::string Utf8(const std::u16string& units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() &&
        units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Utf8Sequence NextUtf8(std::string_view text, size_t i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned c = at(0);
  if (c < 0x80) return {1, c, false};
  // The second byte's range narrows after E0, ED, F0 and F4: no overlong
  // forms, surrogates or code points past U+10FFFF.
  size_t length;
  unsigned low = 0x80, high = 0xBF;
  char32_t point;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
    point = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    point = c & 0x0F;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    point = c & 0x07;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return {0, 0, false};
  }
  if (text.size() - i < length) return {0, 0, true};
  if (at(1) < low || at(1) > high) return {0, 0, false};
  for (size_t k = 1; k < length; ++k) {
    if ((at(k) & 0xC0) != 0x80) return {0, 0, false};
    point = point << 6 | (at(k) & 0x3F);
  }
  return {length, point, false};
}

void AppendUtf16(char32_t point, std::u16string* units) {
  if (point >= 0x10000) {
    point -= 0x10000;
    *units += static_cast<char16_t>(0xD800 + (point >> 10));
    *units += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
  } else {
    *units += static_cast<char16_t>(point);
  }
}

std::optional<std::u16string> Utf16FromUtf8(const std::string& text) {
  std::u16string units;
  for (size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = NextUtf8(text, i);
    if (sequence.length == 0) return std::nullopt;
    AppendUtf16(sequence.point, &units);
    i += sequence.length;
  }
  return units;
}

std::string Utf8FromAnsi(const std::string& ansi, const CodePage& code_page) {
  return Utf8(code_page.ToUtf16(ansi));
}

}  // namespace preview
