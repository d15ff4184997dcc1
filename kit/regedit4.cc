#include "kit/regedit4.h"

#include "platform/kit_platform.h"

namespace kit {

namespace {

using platform::Status;

constexpr Status kAccessDenied = 5;
// regedit breaks hex data once a line reaches this many columns, the name
// part counted, and goes on after ",\" on a line indented by two blanks.
constexpr unsigned long kHexLineColumns = 77;
// Deeper than any registry allows: a loop in a broken hive ends here.
constexpr int kMaxDepth = 512;

// Quoted text with regedit's escapes. Line ends cannot stand in a
// REGEDIT4 line; the preview's reader takes them escaped, as in a name.
void PutQuoted(Writer& out, const char* text, unsigned long length) {
  PutChar(out, '"');
  for (unsigned long i = 0; i < length; ++i) {
    switch (text[i]) {
      case '\\': Put(out, "\\\\"); break;
      case '"': Put(out, "\\\""); break;
      case '\r': Put(out, "\\r"); break;
      case '\n': Put(out, "\\n"); break;
      default: PutChar(out, text[i]);
    }
  }
  PutChar(out, '"');
}

// Text regedit writes as "text": one terminator at the end and no other
// zero, CR or LF before it. Anything else goes as hex(1) so that it reads
// back byte for byte.
bool IsPlainText(const char* data, unsigned long size) {
  if (size == 0 || data[size - 1] != 0) return false;
  for (unsigned long i = 0; i + 1 < size; ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

void PutValue(Writer& out, const char* name, unsigned long name_length,
              unsigned long type, const char* data, unsigned long size) {
  if (name_length == 0) {
    PutChar(out, '@');
  } else {
    PutQuoted(out, name, name_length);
  }
  PutChar(out, '=');
  if (type == platform::kRegSz && IsPlainText(data, size)) {
    PutQuoted(out, data, size - 1);
  } else if (type == platform::kRegDword && size == 4) {
    unsigned long number = 0;
    for (int i = 3; i >= 0; --i) {
      number = number << 8 | static_cast<unsigned char>(data[i]);
    }
    Put(out, "dword:");
    PutHex(out, number, 8);
  } else {
    if (type == platform::kRegBinary) {
      Put(out, "hex:");
    } else {
      Put(out, "hex(");
      PutHex(out, type, 1);
      Put(out, "):");
    }
    for (unsigned long i = 0; i < size; ++i) {
      PutHex(out, static_cast<unsigned char>(data[i]), 2);
      if (i + 1 == size) break;
      PutChar(out, ',');
      if (out.column >= kHexLineColumns) Put(out, "\\\r\n  ");
    }
  }
  Put(out, "\r\n");
}

struct Export {
  Writer& out;
  Workspace& work;
  const char* problem;
};

// Appends "\name" to the key path; false when it does not fit.
bool Descend(char* path, const char* name) {
  return platform::Append(path, kKeyPathCapacity, "\\") &&
         platform::Append(path, kKeyPathCapacity, name);
}

bool ExportValues(Export& e, platform::RegKey key) {
  for (unsigned long index = 0;; ++index) {
    unsigned long name_length = 0;
    unsigned long type = 0;
    unsigned long size = kValueCapacity;
    const Status status = platform::EnumValue(
        key, index, e.work.value_name, kValueNameCapacity, &name_length,
        &type, e.work.value, &size);
    if (status == platform::kErrorNoMoreItems) return true;
    if (status != platform::kSuccess) {
      e.problem = status == platform::kErrorMoreData
                      ? "a value too large to export"
                      : "cannot read the values";
      return false;
    }
    PutValue(e.out, e.work.value_name, name_length, type, e.work.value, size);
  }
}

bool ExportTree(Export& e, platform::RegKey key, int depth) {
  Put(e.out, "\r\n[");
  Put(e.out, e.work.key_path);
  Put(e.out, "]\r\n");
  if (!ExportValues(e, key)) return false;
  const unsigned long length = platform::Length(e.work.key_path);
  for (unsigned long index = 0;; ++index) {
    const Status status =
        platform::EnumKey(key, index, e.work.subkey, sizeof e.work.subkey);
    if (status == platform::kErrorNoMoreItems) return true;
    if (status != platform::kSuccess) {
      e.problem = "cannot list the subkeys";
      return false;
    }
    platform::ScopedKey subkey;
    const Status opened = platform::OpenSubkey(key, e.work.subkey,
                                               platform::kKeyRead,
                                               subkey.Receive());
    if (opened == kAccessDenied) continue;
    if (opened != platform::kSuccess) {
      e.problem = "cannot open a subkey";
      return false;
    }
    if (depth == kMaxDepth || !Descend(e.work.key_path, e.work.subkey)) {
      e.problem = "a key path too long";
      return false;
    }
    if (!ExportTree(e, subkey.get(), depth + 1)) return false;
    e.work.key_path[length] = 0;
  }
}

}  // namespace

const char* RootName(platform::Root root) {
  return root == platform::Root::kCurrentUser ? "HKEY_CURRENT_USER"
                                              : "HKEY_LOCAL_MACHINE";
}

ExportResult ExportKey(platform::Root root, const char* path, Writer& out,
                       Workspace& work, const char** problem) {
  platform::ScopedKey key;
  const Status status =
      platform::OpenKey(root, path, platform::kKeyRead, key.Receive());
  if (status == platform::kErrorFileNotFound) return ExportResult::kAbsent;
  if (status != platform::kSuccess) {
    *problem = "cannot open the key";
    return ExportResult::kFailed;
  }
  if (!platform::Compose(work.key_path, kKeyPathCapacity, RootName(root), "\\",
                         path)) {
    *problem = "a key path too long";
    return ExportResult::kFailed;
  }
  Put(out, "REGEDIT4\r\n");
  Export e{out, work, nullptr};
  if (!ExportTree(e, key.get(), 0)) {
    *problem = e.problem;
    return ExportResult::kFailed;
  }
  Put(out, "\r\n");
  return ExportResult::kWritten;
}

}  // namespace kit
