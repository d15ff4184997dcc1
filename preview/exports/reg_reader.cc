// The .reg reader. Strict where regedit is lenient: whatever is not a
// well-formed export stops the read with the line and what is wrong, so a
// preview never rests on a guess about a damaged file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "preview/exports/ascii.h"
#include "preview/exports/reg_file.h"
#include "preview/exports/reg_text.h"

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

bool EqualsNoCase(const char16_t* b, const char16_t* e, std::string_view s) {
  if (static_cast<size_t>(e - b) != s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (preview::AsciiUpper(b[i]) != static_cast<unsigned char>(s[i])) return false;
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
  Reader(text::Decoder& decoder, File* file, Error* error, const LeadBytes& lead_bytes,
         Filter* filter)
      : decoder_(decoder), file_(file), error_(error), lead_bytes_(lead_bytes),
        filter_(filter) {}

  bool Run() {
    const bool ok = RunLines();
    // A read that failed ends the text early: that, not what follows from it.
    if (decoder_.Failed()) {
      *error_ = read_error_;
      return false;
    }
    return ok;
  }

 private:
  enum class KeyState { kNone, kOpen, kDeleted };

  bool RunLines() {
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

  // Moves to the next line: [begin_, eol_) without its line end. The text
  // before it is dropped, so the pointers of earlier lines go stale.
  bool NextLine() {
    size_t scan = next_;  // where the search for the line end goes on
    for (;;) {
      const char16_t* text = window_.data();
      const size_t n = window_.size();
      size_t i = scan;
      while (i < n && text[i] != kLf && text[i] != kCr) ++i;
      // A CR at the window's end may be the first half of CR LF.
      if (i < n && (text[i] == kLf || i + 1 < n || !more_)) {
        begin_ = text + next_;
        eol_ = text + i;
        next_ = i + 1;
        if (text[i] == kCr && i + 1 < n && text[i + 1] == kLf) ++next_;
        ++line_;
        return true;
      }
      if (!more_) {
        if (next_ >= n) return false;
        begin_ = text + next_;
        eol_ = text + n;
        next_ = n;
        ++line_;
        return true;
      }
      window_.erase(0, next_);
      scan = i - next_;
      next_ = 0;
      more_ = decoder_.More(&window_, &read_error_);
    }
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

    key_state_ = deletion ? KeyState::kDeleted : KeyState::kOpen;
    keep_values_ = false;
    if (other_root) {
      // Nothing the launcher reads lives there; a whole-registry export
      // still previews by its two roots.
      ++file_->skipped_other_root_keys;
      return true;
    }
    Item item;
    item.kind = deletion ? Item::Kind::kDeleteKey : Item::Kind::kKey;
    item.key = std::move(key);
    item.line = line_;
    const Filter::Take take =
        filter_ != nullptr ? filter_->KeyLine(&item) : Filter::Take::kKeyAndValues;
    if (take == Filter::Take::kNothing) return true;
    keep_values_ = take == Filter::Take::kKeyAndValues && !deletion;
    if (keep_values_) key_ = item.key;
    file_->items.push_back(std::move(item));
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
    if (key_state_ != KeyState::kOpen) return Fail("value outside a key");
    // One item read into again and again: a value not kept costs no memory.
    Item& item = value_;
    item.kind = Item::Kind::kValue;
    item.line = line_;
    item.name.clear();
    item.data.form = Data::Form::kString;
    item.data.type = 1;
    item.data.text.clear();
    item.data.bytes.clear();
    if (*p == u'@') {
      ++p;
    } else if (!ParseQuoted(p, &item.name)) {
      return false;
    }
    p = SkipBlanks(p);
    if (p == eol_ || *p != u'=') return Fail("expected = after the value name");
    p = SkipBlanks(p + 1);
    if (!ParseData(p, &item)) return false;
    if (!keep_values_) return true;
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

  text::Decoder& decoder_;
  Units window_;      // the current line and the text read after it
  size_t next_ = 0;   // in window_: the start of the line after the current one
  bool more_ = true;  // whether the decoder has more text
  Error read_error_;
  const char16_t* begin_ = nullptr;
  const char16_t* eol_ = nullptr;
  int line_ = 0;
  KeyState key_state_ = KeyState::kNone;
  bool keep_values_ = false;  // the values of the open key are kept
  KeyName key_{};
  Item value_;
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
  Filter* filter_;
};

}  // namespace

namespace {

bool ReadWith(text::Decoder& decoder, File* file, Error* error, const LeadBytes& lead_bytes,
              Filter* filter) {
  File result;
  if (!decoder.Start(&result.encoding, error)) return false;
  if (filter == nullptr) {
    // A guess at the item count, as moving items while the vector grows is
    // dear: below it the vector grows as usual, above it the untouched
    // pages cost nothing.
    result.items.reserve(static_cast<size_t>(decoder.UnitsAtMost() / 64) + 16);
  }
  Reader reader(decoder, &result, error, lead_bytes, filter);
  if (!reader.Run()) return false;
  *file = std::move(result);
  return true;
}

}  // namespace

bool Read(Input& input, File* file, Error* error, const LeadBytes& lead_bytes, Filter* filter) {
  text::Decoder decoder(input);
  return ReadWith(decoder, file, error, lead_bytes, filter);
}

bool text::ReadInPieces(Input& input, size_t piece_bytes, File* file, Error* error) {
  text::Decoder decoder(input, piece_bytes);
  return ReadWith(decoder, file, error, {}, nullptr);
}

bool Parse(std::string_view content, File* file, Error* error, const LeadBytes& lead_bytes) {
  MemoryInput input(content);
  return Read(input, file, error, lead_bytes);
}

}  // namespace regfile
