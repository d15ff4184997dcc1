// The .reg reader. Strict where regedit is lenient: whatever is not a
// well-formed export stops the read with the line and what is wrong, so a
// preview never rests on a guess about a damaged file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "preview/reg_file.h"

namespace regfile {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr size_t kMaxKeyComponent = 255;  // units, as the registry allows

constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kHeader5 =
    u"Windows Registry Editor Version 5.00";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// -1 for anything that is not a hex digit.
int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Units as printable ASCII for a message: anything else as \xNN in a file
// of bytes (their code page is unknown here) or \uNNNN in a UTF-16 one, so a
// message never carries raw bytes to a terminal or a CSV cell.
std::string ForMessage(const char16_t* b, const char16_t* e, Encoding encoding) {
  std::string out;
  for (; b < e; ++b) {
    const unsigned c = *b;
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped,
                  encoding == Encoding::kBytes ? "\\x%02X" : "\\u%04X", c);
    out += escaped;
  }
  return out;
}

// The line on which position `at` of the text lies.
int LineAt(const Units& text, size_t at) {
  int line = 1;
  for (size_t i = 0; i < at; ++i) {
    if (text[i] == kLf || (text[i] == kCr && (i + 1 >= at || text[i + 1] != kLf)))
      ++line;
  }
  return line;
}

// Decodes UTF-8 (the mark already skipped); the position of the first bad
// sequence in *bad on failure.
bool DecodeUtf8(std::string_view in, Units* out, size_t* bad) {
  out->reserve(in.size());
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  const size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    const unsigned c = s[i];
    if (c < 0x80) {
      out->push_back(static_cast<char16_t>(c));
      ++i;
      continue;
    }
    // Allowed range of the second byte narrows for E0, ED, F0 and F4, which
    // shuts out overlong forms, surrogates and code points past U+10FFFF.
    size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      *bad = i;
      return false;
    }
    if (n - i < len || s[i + 1] < lo || s[i + 1] > hi) {
      *bad = i;
      return false;
    }
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        *bad = i;
        return false;
      }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return true;
}

bool Decode(std::string_view content, Units* text, Encoding* encoding,
            Error* error) {
  const auto* s = reinterpret_cast<const unsigned char*>(content.data());
  size_t n = content.size();
  // "copy /a" ends a file with Ctrl-Z, which regedit reads past: one byte
  // even after UTF-16 text, or the code unit in a UTF-16 file.
  constexpr unsigned char kCtrlZ = 0x1A;
  if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE) {
    *encoding = Encoding::kUtf16;
    size_t bytes = n - 2;
    if (bytes % 2 != 0 && s[n - 1] == kCtrlZ) --bytes;
    const size_t units = bytes / 2;
    text->resize(units);
    char16_t* out = text->data();
    for (size_t i = 0; i < units; ++i)
      out[i] = static_cast<char16_t>(s[2 + 2 * i] | (s[3 + 2 * i] << 8));
    if (bytes % 2 != 0) {
      *error = {LineAt(*text, units),
                "odd number of bytes in a UTF-16 file"};
      return false;
    }
    if (!text->empty() && text->back() == kCtrlZ) text->pop_back();
    return true;
  }
  if (n > 0 && s[n - 1] == kCtrlZ) {
    content.remove_suffix(1);
    --n;
  }
  if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) {
    *encoding = Encoding::kUtf16;
    size_t bad = 0;
    if (!DecodeUtf8(content.substr(3), text, &bad)) {
      *error = {LineAt(*text, text->size()), "invalid UTF-8"};
      return false;
    }
    return true;
  }
  *encoding = Encoding::kBytes;
  text->resize(n);
  char16_t* out = text->data();
  for (size_t i = 0; i < n; ++i) out[i] = s[i];
  return true;
}

bool EqualsNoCase(const char16_t* b, const char16_t* e, std::string_view s) {
  if (static_cast<size_t>(e - b) != s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = b[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != static_cast<unsigned char>(s[i])) return false;
  }
  return true;
}

// The roots regedit imports besides the two the launcher reads.
bool IsOtherRoot(const char16_t* b, const char16_t* e) {
  for (const char* root : {"HKEY_CLASSES_ROOT", "HKEY_USERS",
                           "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"}) {
    if (EqualsNoCase(b, e, root)) return true;
  }
  return false;
}

class Reader {
 public:
  Reader(const Units& text, File* file, Error* error, const LeadBytes& lead_bytes)
      : pos_(text.data()), end_(text.data() + text.size()), file_(file),
        error_(error), lead_bytes_(lead_bytes) {}

  bool Run() {
    if (!ParseHeader()) return false;
    while (NextLine()) {
      const char16_t* p = SkipBlanks(begin_);
      // '#' starts a comment only as the first thing on a line, as regedit
      // takes it; after data or in continued hex data it is text.
      if (p == eol_ || *p == u';' || *p == u'#') continue;
      bool ok;
      if (*p == u'[') {
        ok = ParseKeyLine(p);
      } else if (*p == u'"' || *p == u'@') {
        ok = ParseValueLine(p);
      } else {
        ok = Fail("neither a key, a value nor a comment");
      }
      if (!ok) return false;
    }
    return true;
  }

 private:
  // kSkipped: a key of another root, whose values are read but not kept.
  enum class KeyState { kNone, kOpen, kDeleted, kSkipped };

  // Moves to the next line: [begin_, eol_) without its line end.
  bool NextLine() {
    if (pos_ >= end_) return false;
    begin_ = pos_;
    const char16_t* p = pos_;
    while (p < end_ && *p != kLf && *p != kCr) ++p;
    eol_ = p;
    if (p < end_) {
      if (*p == kCr && p + 1 < end_ && p[1] == kLf) ++p;
      ++p;
    }
    pos_ = p;
    ++line_;
    return true;
  }

  bool Fail(std::string message) {
    error_->line = line_;
    error_->message = std::move(message);
    return false;
  }

  const char16_t* SkipBlanks(const char16_t* p) const {
    while (p < eol_ && IsBlank(*p)) ++p;
    return p;
  }

  // Only blanks, or blanks and a comment, from p to the line end.
  bool RestIsEmpty(const char16_t* p) const {
    p = SkipBlanks(p);
    return p == eol_ || *p == u';';
  }

  bool StartsWith(const char16_t* p, std::u16string_view s) const {
    return static_cast<size_t>(eol_ - p) >= s.size() &&
           std::u16string_view(p, s.size()) == s;
  }

  bool ParseHeader() {
    if (!NextLine()) {
      *error_ = {0, "empty file"};
      return false;
    }
    const char16_t* p = SkipBlanks(begin_);
    const std::u16string_view first(p, eol_ - p);
    if (first == kHeader4) {
      file_->version = Version::k4;
    } else if (first == kHeader5) {
      file_->version = Version::k5;
    } else {
      return Fail(
          "not a .reg file: the first line is neither REGEDIT4 nor Windows "
          "Registry Editor Version 5.00");
    }
    return true;
  }

  bool ParseKeyLine(const char16_t* p) {
    const char16_t* name = p + 1;
    const bool deletion = name < eol_ && *name == u'-';
    if (deletion) ++name;
    // The name ends at the last bracket: key names may hold ']'.
    const char16_t* close = eol_;
    while (close > name && close[-1] != u']') --close;
    if (close == name) return Fail("unclosed bracket");
    const char16_t* name_end = close - 1;
    if (!RestIsEmpty(close)) return Fail("unexpected text after the key name");
    if (name == name_end) return Fail("empty key name");
    if (IsBlank(*name)) return Fail("blank at the start of the key name");

    const char16_t* root_end = name;
    while (root_end < name_end && *root_end != u'\\') ++root_end;
    KeyName key;
    bool other_root = false;
    if (EqualsNoCase(name, root_end, "HKEY_LOCAL_MACHINE")) {
      key.root = Root::kLocalMachine;
    } else if (EqualsNoCase(name, root_end, "HKEY_CURRENT_USER")) {
      key.root = Root::kCurrentUser;
    } else if (root_end == name) {
      return Fail("missing root key");
    } else if (IsOtherRoot(name, root_end)) {
      other_root = true;
    } else {
      return Fail("unknown root " +
                  ForMessage(name, root_end, file_->encoding));
    }
    // After the root: nothing, or "\path"; one trailing backslash is
    // dropped, so "ROOT\" is the root and "ROOT\\" an empty component.
    const char16_t* rest_end = name_end;
    if (root_end < rest_end && rest_end[-1] == u'\\' && !EndsInTrailByte(root_end, rest_end)) {
      --rest_end;
    }
    if (root_end < rest_end) {
      const char16_t* path = root_end + 1;
      const char16_t* component = path;
      size_t characters = 0;
      for (const char16_t* q = path;; ++q) {
        if (q == rest_end || *q == u'\\') {
          if (q == component) return Fail("empty key name component");
          if (characters > kMaxKeyComponent)
            return Fail("key name component longer than 255 characters");
          if (q == rest_end) break;
          component = q + 1;
          characters = 0;
          continue;
        }
        ++characters;
        // A double-byte character's trail byte may be a backslash.
        if (IsLeadByte(*q) && q + 1 < rest_end) ++q;
      }
      key.path.assign(path, rest_end);
    }
    if (deletion && key.path.empty()) return Fail("cannot delete a root key");

    if (other_root) {
      // Nothing the launcher reads lives there; a whole-registry export
      // still previews by its two roots.
      ++file_->skipped_other_root_keys;
      key_state_ = deletion ? KeyState::kDeleted : KeyState::kSkipped;
      return true;
    }
    Item item;
    item.kind = deletion ? Item::Kind::kDeleteKey : Item::Kind::kKey;
    item.key = key;
    item.line = line_;
    file_->items.push_back(std::move(item));
    key_state_ = deletion ? KeyState::kDeleted : KeyState::kOpen;
    key_ = std::move(key);
    return true;
  }

  // p on the opening quote; leaves p after the closing one.
  bool ParseQuoted(const char16_t*& p, Units* out) {
    ++p;
    for (;;) {
      const char16_t* run = p;
      while (p < eol_ && *p != u'"' && *p != u'\\') ++p;
      out->append(run, p);
      if (p == eol_) return Fail("unclosed string");
      if (*p == u'"') {
        ++p;
        return true;
      }
      if (++p == eol_) return Fail("unclosed string");
      switch (*p) {
        case u'\\': out->push_back(u'\\'); break;
        case u'"': out->push_back(u'"'); break;
        case u'n': out->push_back(u'\n'); break;
        case u'r': out->push_back(u'\r'); break;
        default:
          return Fail("unknown escape \\" +
                      ForMessage(p, p + 1, file_->encoding));
      }
      ++p;
    }
  }

  bool ParseValueLine(const char16_t* p) {
    if (key_state_ != KeyState::kOpen && key_state_ != KeyState::kSkipped)
      return Fail("value outside a key");
    Item item;
    item.kind = Item::Kind::kValue;
    item.line = line_;
    if (*p == u'@') {
      ++p;
    } else if (!ParseQuoted(p, &item.name)) {
      return false;
    }
    p = SkipBlanks(p);
    if (p == eol_ || *p != u'=') return Fail("expected = after the value name");
    p = SkipBlanks(p + 1);
    if (!ParseData(p, &item)) return false;
    if (key_state_ == KeyState::kSkipped) return true;
    item.key = key_;
    file_->items.push_back(std::move(item));
    return true;
  }

  bool ParseData(const char16_t* p, Item* item) {
    Data& data = item->data;
    if (p == eol_) return Fail("missing value data");
    if (*p == u'-') {
      item->kind = Item::Kind::kDeleteValue;
      if (!RestIsEmpty(p + 1)) return Fail("unexpected text after the data");
      return true;
    }
    if (*p == u'"') {
      data.form = Data::Form::kString;
      data.type = 1;
      if (!ParseQuoted(p, &data.text)) return false;
      if (!RestIsEmpty(p)) return Fail("unexpected text after the data");
      return true;
    }
    if (StartsWith(p, u"dword:")) return ParseDword(p + 6, &data);
    if (StartsWith(p, u"hex:")) {
      data.form = Data::Form::kHex;
      data.type = 3;
      return ParseHex(p + 4, &data.bytes);
    }
    if (StartsWith(p, u"hex(")) {
      const char16_t* q = p + 4;
      uint32_t type = 0;
      int digits = 0;
      for (; q < eol_ && HexValue(*q) >= 0 && digits <= 8; ++q, ++digits)
        type = (type << 4) | static_cast<uint32_t>(HexValue(*q));
      if (digits >= 1 && digits <= 8 && eol_ - q >= 2 && q[0] == u')' &&
          q[1] == u':') {
        data.form = Data::Form::kHex;
        data.type = type;
        return ParseHex(q + 2, &data.bytes);
      }
    }
    return Fail("unknown data type");
  }

  bool ParseDword(const char16_t* p, Data* data) {
    p = SkipBlanks(p);
    uint32_t value = 0;
    int digits = 0;
    for (; p < eol_ && HexValue(*p) >= 0; ++p, ++digits)
      value = (value << 4) | static_cast<uint32_t>(HexValue(*p));
    if (digits < 1 || digits > 8 || !RestIsEmpty(p)) return Fail("bad dword");
    data->form = Data::Form::kDword;
    data->type = 4;
    data->bytes.assign({static_cast<char>(value & 0xFF),
                        static_cast<char>((value >> 8) & 0xFF),
                        static_cast<char>((value >> 16) & 0xFF),
                        static_cast<char>(value >> 24)});
    return true;
  }

  // Comma-separated two-digit bytes; a backslash where a byte could stand
  // carries the data over to the next line that is not blank or a comment.
  bool ParseHex(const char16_t* p, std::string* bytes) {
    for (;;) {
      // Most of a large export is "xx," runs; take them without detours.
      while (eol_ - p >= 3 && p[2] == u',') {
        const int hi = HexValue(p[0]), lo = HexValue(p[1]);
        if ((hi | lo) < 0) break;
        bytes->push_back(static_cast<char>(hi << 4 | lo));
        p += 3;
      }
      p = SkipBlanks(p);
      if (p == eol_ || *p == u';') return true;
      if (*p == u'\\') {
        if (SkipBlanks(p + 1) != eol_)
          return Fail("unexpected text after the line continuation");
        do {
          if (!NextLine()) return true;  // the file ends the value
          p = SkipBlanks(begin_);
        } while (p == eol_ || *p == u';');
        continue;
      }
      const char16_t* q = p;
      while (q < eol_ && HexValue(*q) >= 0) ++q;
      const auto digits = q - p;
      if (digits == 0 || (digits > 2 && digits % 2 == 0))
        return Fail("bad hex byte");
      if (digits != 2) return Fail("odd number of hex digits in a byte");
      bytes->push_back(static_cast<char>(HexValue(p[0]) << 4 | HexValue(p[1])));
      p = SkipBlanks(q);
      if (p == eol_ || *p == u';') return true;
      if (*p != u',') return Fail("expected a comma after a hex byte");
      ++p;
    }
  }

  const char16_t* pos_;  // start of the line after the current one
  const char16_t* const end_;
  const char16_t* begin_ = nullptr;
  const char16_t* eol_ = nullptr;
  int line_ = 0;
  KeyState key_state_ = KeyState::kNone;
  KeyName key_{};
  // Whether the last unit of [b, e) is the trail byte of a double-byte
  // character.
  bool EndsInTrailByte(const char16_t* b, const char16_t* e) const {
    for (const char16_t* q = b; q < e; ++q) {
      if (IsLeadByte(*q) && q + 1 < e) {
        if (q + 2 == e) return true;
        ++q;
      }
    }
    return false;
  }

  bool IsLeadByte(char16_t unit) const {
    if (file_->encoding != Encoding::kBytes) return false;
    for (const auto& [first, last] : lead_bytes_) {
      if (unit >= first && unit <= last) return true;
    }
    return false;
  }

  File* file_;
  Error* error_;
  const LeadBytes& lead_bytes_;
};

}  // namespace

bool Parse(std::string_view content, File* file, Error* error, const LeadBytes& lead_bytes) {
  Units text;
  File result;
  if (!Decode(content, &text, &result.encoding, error)) return false;
  // A guess at the item count, as moving items while the vector grows is
  // dear: below it the vector grows as usual, above it the untouched pages
  // cost nothing.
  result.items.reserve(text.size() / 64 + 16);
  Reader reader(text, &result, error, lead_bytes);
  if (!reader.Run()) return false;
  *file = std::move(result);
  return true;
}

}  // namespace regfile
