// The .reg reader on any bytes: the input is the file, so its mark chooses
// the encoding (none: bytes; FF FE: UTF-16LE; EF BB BF: UTF-8) and its first
// line the version. A refused file gets a line and a message in printable
// ASCII. An accepted one is written back in its version and encoding and
// must read back to the same items, and that writing must be a fixed point.
// The same text given as bytes, as UTF-16LE and (for ASCII) as UTF-8 must
// read the same. Any broken rule traps.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "preview/exports/reg_file.h"

namespace {

using regfile::Data;
using regfile::Encoding;
using regfile::File;
using regfile::Item;

[[noreturn]] void Violated(const char* what) {
  std::fprintf(stderr, "reader rule broken: %s\n", what);
  __builtin_trap();
}

bool PrintableAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

// Items as the file means them; the line an item starts on depends on the
// layout (comments, blank lines, hex wrapping), which Write does not keep.
bool SameItem(const Item& a, const Item& b) {
  if (a.kind != b.kind || a.key.root != b.key.root || a.key.path != b.key.path ||
      a.name != b.name) {
    return false;
  }
  if (a.kind != Item::Kind::kValue) return true;
  return a.data.form == b.data.form && a.data.type == b.data.type &&
         a.data.text == b.data.text && a.data.bytes == b.data.bytes;
}

bool SameItems(const File& a, const File& b) {
  if (a.items.size() != b.items.size()) return false;
  for (size_t i = 0; i < a.items.size(); ++i) {
    if (!SameItem(a.items[i], b.items[i])) return false;
  }
  return true;
}

// What holds for every file the reader accepts.
void CheckAccepted(const File& file) {
  int last_line = 0;
  for (const Item& item : file.items) {
    if (item.line <= last_line) Violated("items not in file order by line");
    last_line = item.line;
    if (file.encoding == Encoding::kBytes) {
      // A file of bytes gives units up to 0xFF only, which Write relies on.
      for (const regfile::Units* units : {&item.key.path, &item.name, &item.data.text}) {
        for (char16_t c : *units) {
          if (c > 0xFF) Violated("a unit above 0xFF from a file of bytes");
        }
      }
    }
    if (item.kind != Item::Kind::kValue) continue;
    switch (item.data.form) {
      case Data::Form::kString:
        if (item.data.type != 1 || !item.data.bytes.empty()) Violated("string data");
        break;
      case Data::Form::kDword:
        if (item.data.type != 4 || item.data.bytes.size() != 4 || !item.data.text.empty())
          Violated("dword data");
        break;
      case Data::Form::kHex:
        if (!item.data.text.empty()) Violated("hex data with text");
        break;
    }
  }
}

// Parses content; a refusal must say where and what in printable ASCII.
bool Read(std::string_view content, File* file, regfile::Error* error) {
  if (regfile::Parse(content, file, error)) return true;
  if (error->line < 0) Violated("negative error line");
  if (error->message.empty() || !PrintableAscii(error->message))
    Violated("error message empty or not printable ASCII");
  return false;
}

// The same outcome: both refused on the same line, or both accepted with
// the same items.
void SameOutcome(bool ok_a, const File& a, const regfile::Error& error_a, bool ok_b,
                 const File& b, const regfile::Error& error_b, const char* what) {
  if (ok_a != ok_b) Violated(what);
  if (!ok_a) {
    if (error_a.line != error_b.line) Violated(what);
    return;
  }
  if (a.version != b.version || !SameItems(a, b)) Violated(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  File file;
  regfile::Error error;
  const bool ok = Read(content, &file, &error);
  if (ok) {
    CheckAccepted(file);
    // Write writes only items; keys of other roots never were items (the
    // reader drops them with their values), so skipped_other_root_keys is
    // not compared and is 0 in what Write gives.
    const std::string written = regfile::Write(file.version, file.encoding, file.items);
    File again;
    regfile::Error again_error;
    if (!Read(written, &again, &again_error)) Violated("written file does not read back");
    if (again.version != file.version) Violated("version changed by writing");
    // A UTF-8 file is written as UTF-16LE: both are the kUtf16 encoding.
    if (again.encoding != file.encoding) Violated("encoding changed by writing");
    if (again.skipped_other_root_keys != 0) Violated("written file has other roots");
    if (!SameItems(file, again)) Violated("items changed by writing and reading back");
    if (regfile::Write(again.version, again.encoding, again.items) != written)
      Violated("writing is not a fixed point");
  }

  // The same text in another encoding. Only for a file of bytes: a UTF-16
  // file's units above 0xFF have no form as bytes.
  const bool marked = (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) ||
                      (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF);
  if (marked) return 0;
  // Each byte widened to one UTF-16 unit: the reader keeps a file's own
  // units, so the items are the same units. Messages may differ (\xNN and
  // \uNNNN escapes), lines may not.
  std::string wide = "\xFF\xFE";
  bool ascii = true;
  for (size_t i = 0; i < size; ++i) {
    wide.push_back(static_cast<char>(data[i]));
    wide.push_back('\0');
    ascii = ascii && data[i] < 0x80;
  }
  File wide_file;
  regfile::Error wide_error;
  const bool wide_ok = Read(wide, &wide_file, &wide_error);
  SameOutcome(ok, file, error, wide_ok, wide_file, wide_error,
              "bytes and UTF-16LE read differently");
  if (wide_ok && wide_file.encoding != Encoding::kUtf16) Violated("UTF-16LE not kUtf16");
  // ASCII is its own UTF-8.
  if (ascii) {
    File utf8_file;
    regfile::Error utf8_error;
    const bool utf8_ok = Read("\xEF\xBB\xBF" + content, &utf8_file, &utf8_error);
    SameOutcome(ok, file, error, utf8_ok, utf8_file, utf8_error,
                "bytes and UTF-8 read differently");
    if (utf8_ok && utf8_file.encoding != Encoding::kUtf16) Violated("UTF-8 not kUtf16");
  }
  return 0;
}
