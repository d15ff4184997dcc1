#include "preview/output/display.h"

#include <cstdio>

#include "preview/machine/registry_image.h"

namespace preview {

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

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

std::optional<std::u16string> Utf16FromUtf8(const std::string& text) {
  std::u16string units;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned c = s[i];
    if (c < 0x80) {
      units += static_cast<char16_t>(c);
      ++i;
      continue;
    }
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
      return std::nullopt;
    }
    if (text.size() - i < length || s[i + 1] < low || s[i + 1] > high) return std::nullopt;
    for (size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return std::nullopt;
      point = point << 6 | (s[i + k] & 0x3F);
    }
    if (point >= 0x10000) {
      point -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (point >> 10));
      units += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    } else {
      units += static_cast<char16_t>(point);
    }
    i += length;
  }
  return units;
}

std::string Utf8FromAnsi(const std::string& ansi, const CodePage& code_page) {
  return Utf8(code_page.ToUtf16(ansi));
}

std::string StoredUtf8(const std::u16string& stored, const CodePage& code_page) {
  if (memory::CurrentTextStorage() == memory::TextStorage::kUtf16) {
    return Utf8(stored);
  }
  return Utf8FromAnsi(memory::ProgramName(stored), code_page);
}

std::string TypeName(unsigned long type) {
  static const char* const kNames[] = {
      "REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
      "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
      "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST",
      "REG_QWORD"};
  if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
  char text[24];
  std::snprintf(text, sizeof text, "hex(%lx)", type);
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i > 0) text += ',';
    text += byte;
  }
  return text;
}

std::string Notation(const memory::StoredValue& value, const CodePage& code_page,
                     size_t max_bytes) {
  const regfile::Data data = Regedit4Data(value);
  switch (data.form) {
    case regfile::Data::Form::kString: {
      std::string ansi;
      for (char16_t u : data.text) ansi += static_cast<char>(u);
      std::string text = "\"";
      for (char c : Utf8FromAnsi(ansi, code_page)) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
      }
      return text + "\"";
    }
    case regfile::Data::Form::kDword: {
      const auto b = [&](int i) {
        return static_cast<unsigned long>(static_cast<unsigned char>(data.bytes[i]));
      };
      char text[32];
      std::snprintf(text, sizeof text, "dword:%08lx",
                    b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
      return text;
    }
    case regfile::Data::Form::kHex:
      break;
  }
  char prefix[24];
  if (data.type == 3) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(data.type));
  }
  if (max_bytes > 0 && data.bytes.size() > max_bytes) {
    return prefix + HexBytes(data.bytes.substr(0, max_bytes)) + ",... (" +
           std::to_string(data.bytes.size()) + " bytes)";
  }
  return prefix + HexBytes(data.bytes);
}

}  // namespace preview
