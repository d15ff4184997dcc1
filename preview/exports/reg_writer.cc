// The .reg writer: the layout regedit's export gives, so that a written
// file reads back to the same items and looks like one from Windows.
#include <cstdint>
#include <string>
#include <vector>

#include "preview/exports/reg_file.h"

namespace regfile {
namespace {

// regedit breaks a hex line once it reaches this many columns, counting the
// name part; the break adds ",\" so a full line is 78 or 79 wide.
constexpr size_t kHexLineColumns = 77;

void Append(Units* out, const char* ascii) {
  while (*ascii) out->push_back(static_cast<unsigned char>(*ascii++));
}

void AppendHexByte(Units* out, unsigned byte) {
  static const char kDigits[] = "0123456789abcdef";
  out->push_back(static_cast<char16_t>(kDigits[byte >> 4]));
  out->push_back(static_cast<char16_t>(kDigits[byte & 0xF]));
}

void AppendHex(Units* out, uint32_t value, int min_digits) {
  char buffer[9];
  int n = 0;
  do {
    buffer[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0 || n < min_digits);
  while (n > 0) out->push_back(static_cast<char16_t>(buffer[--n]));
}

void AppendQuoted(Units* out, const Units& text) {
  out->push_back(u'"');
  for (char16_t c : text) {
    switch (c) {
      case u'\\': Append(out, "\\\\"); break;
      case u'"': Append(out, "\\\""); break;
      case u'\r': Append(out, "\\r"); break;
      case u'\n': Append(out, "\\n"); break;
      default: out->push_back(c);
    }
  }
  out->push_back(u'"');
}

void AppendKeyLine(Units* out, const KeyName& key, bool deletion) {
  Append(out, deletion ? "\r\n[-" : "\r\n[");
  Append(out, RootName(key.root));
  if (!key.path.empty()) {
    out->push_back(u'\\');
    out->append(key.path);
  }
  Append(out, "]\r\n");
}

void AppendValue(Units* out, const Item& item) {
  const size_t line_start = out->size();
  if (item.name.empty()) {
    out->push_back(u'@');
  } else {
    AppendQuoted(out, item.name);
  }
  out->push_back(u'=');
  if (item.kind == Item::Kind::kDeleteValue) {
    out->push_back(u'-');
    return;
  }
  const Data& data = item.data;
  switch (data.form) {
    case Data::Form::kString:
      AppendQuoted(out, data.text);
      return;
    case Data::Form::kDword: {
      uint32_t value = 0;
      for (size_t i = 0; i < data.bytes.size() && i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(
                     data.bytes[i])) << (8 * i);
      Append(out, "dword:");
      AppendHex(out, value, 8);
      return;
    }
    case Data::Form::kHex:
      break;
  }
  if (data.type == 3) {
    Append(out, "hex:");
  } else {
    Append(out, "hex(");
    AppendHex(out, data.type, 1);
    Append(out, "):");
  }
  size_t column = out->size() - line_start;
  const size_t n = data.bytes.size();
  for (size_t i = 0; i < n; ++i) {
    AppendHexByte(out, static_cast<unsigned char>(data.bytes[i]));
    if (i + 1 == n) break;
    out->push_back(u',');
    column += 3;
    if (column >= kHexLineColumns) {
      Append(out, "\\\r\n  ");
      column = 2;
    }
  }
}

bool SameKey(const KeyName& a, const KeyName& b) {
  return a.root == b.root && a.path == b.path;
}

}  // namespace

const char* RootName(Root root) {
  return root == Root::kCurrentUser ? "HKEY_CURRENT_USER"
                                    : "HKEY_LOCAL_MACHINE";
}

std::string Write(Version version, Encoding encoding,
                  const std::vector<Item>& items) {
  Units text;
  Append(&text, version == Version::k4
                    ? "REGEDIT4\r\n"
                    : "Windows Registry Editor Version 5.00\r\n");
  // The last key line written, so that values get theirs when the items
  // list does not open their key itself.
  const KeyName* open = nullptr;
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Kind::kKey:
      case Item::Kind::kDeleteKey: {
        const bool deletion = item.kind == Item::Kind::kDeleteKey;
        AppendKeyLine(&text, item.key, deletion);
        open = deletion ? nullptr : &item.key;
        break;
      }
      case Item::Kind::kValue:
      case Item::Kind::kDeleteValue:
        if (open == nullptr || !SameKey(*open, item.key)) {
          AppendKeyLine(&text, item.key, false);
          open = &item.key;
        }
        AppendValue(&text, item);
        Append(&text, "\r\n");
        break;
    }
  }
  Append(&text, "\r\n");

  std::string out;
  if (encoding == Encoding::kUtf16) {
    out.reserve(2 + 2 * text.size());
    out += "\xFF\xFE";
    for (char16_t c : text) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
  } else {
    out.reserve(text.size());
    for (char16_t c : text)
      out.push_back(c > 0xFF ? '?' : static_cast<char>(c));
  }
  return out;
}

}  // namespace regfile
