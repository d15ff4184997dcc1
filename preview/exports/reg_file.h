// Registry export files (.reg), as regedit writes and reads them: the
// REGEDIT4 format of Windows 95 to Me and the "Windows Registry Editor
// Version 5.00" format of Windows 2000 and later. The reader keeps names and
// string data in the file's own code units; what they mean (ANSI bytes or
// UTF-16) is the caller's business, told by Encoding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace regfile {

using platform::Root;

enum class Version { k4, k5 };  // "REGEDIT4" or "... Version 5.00"
// The text of the file: single bytes taken as they are (a file without a
// byte-order mark), or Unicode (UTF-16LE with its mark, or UTF-8 with its
// mark, decoded to UTF-16).
enum class Encoding { kBytes, kUtf16 };

// Code units of the file's text: bytes widened one to one (kBytes), or
// UTF-16 code units (kUtf16).
using Units = std::u16string;

struct KeyName {
  Root root;
  Units path;  // below the root, without a leading backslash; "" is the root
};

// Value data in the form the file gives it.
struct Data {
  enum class Form { kString, kDword, kHex };
  Form form = Form::kString;
  uint32_t type = 1;  // REG_SZ for kString, REG_DWORD for kDword, hex(N)
  Units text;         // kString: the unescaped text, no terminator
  std::string bytes;  // kDword: 4 bytes little-endian; kHex: the bytes
};

struct Item {
  enum class Kind { kKey, kDeleteKey, kValue, kDeleteValue };
  Kind kind = Kind::kKey;
  KeyName key;  // the key of the item (for values: the current key)
  Units name;   // value name; empty for the default value "@"
  Data data;    // kValue only
  int line = 0; // 1-based line on which the item starts
};

struct File {
  Version version = Version::k5;
  Encoding encoding = Encoding::kUtf16;
  std::vector<Item> items;  // in file order
  // Key lines ("[...]" and "[-...]") under HKEY_CLASSES_ROOT, HKEY_USERS,
  // HKEY_CURRENT_CONFIG or HKEY_DYN_DATA: read for their form, then left
  // out of items with the values under them, as the launcher reads none.
  int skipped_other_root_keys = 0;
};

struct Error {
  int line = 0;         // 1-based; 0 when not tied to a line
  std::string message;  // what is wrong, without the file name
};

// Where a read takes a file's bytes from, front to back, a piece at a time;
// the size is known first, and the read may go back (to the last byte, or to
// the start for a second pass when the text is bad).
class Input {
 public:
  virtual ~Input() = default;
  virtual uint64_t Size() const = 0;
  // Up to n bytes into out: fewer only at the end, or on a read error
  // (then Failed()).
  virtual size_t Read(char* out, size_t n) = 0;
  virtual bool Seek(uint64_t offset) = 0;
  virtual bool Failed() const = 0;
};

// Bytes in memory, which must outlive the input.
class MemoryInput : public Input {
 public:
  explicit MemoryInput(std::string_view content) : content_(content) {}
  uint64_t Size() const override { return content_.size(); }
  size_t Read(char* out, size_t n) override;
  bool Seek(uint64_t offset) override;
  bool Failed() const override { return false; }

 private:
  std::string_view content_;
  size_t at_ = 0;
};

// A file, read as it is needed.
class FileInput : public Input {
 public:
  explicit FileInput(const std::string& path);
  ~FileInput() override;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  bool Opened() const { return file_ != nullptr; }
  uint64_t Size() const override { return size_; }
  size_t Read(char* out, size_t n) override;
  bool Seek(uint64_t offset) override;
  bool Failed() const override { return failed_; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  bool failed_ = false;
};

// Chooses, while a file is read, which of its items are kept: the rest is
// still read for its form, so a bad line anywhere is still an error.
class Filter {
 public:
  enum class Take {
    kKeyAndValues,  // the key line and the values after it
    kKeyLine,       // the key line only
    kNothing,
  };
  virtual ~Filter() = default;
  // Each key line of the two roots, in file order. The filter may change
  // the item it keeps (to stand for the line).
  virtual Take KeyLine(Item* key_line) = 0;
};

// Reads a .reg file as a stream: of its text only the current line and the
// piece read after it are held, besides the items kept. False, with the line
// and what is wrong, for anything that is not a well-formed export (and
// "cannot read" without a line when the input fails); keys of other roots
// are skipped (File::skipped_other_root_keys). A final Ctrl-Z is no text.
// Without a filter every item is kept.
//
// lead_bytes: the lead-byte ranges of the machine's ANSI code page, for
// files without a mark, whose bytes are text in that code page: a lead byte
// and the byte after it are one character of a key name (so a trail byte
// 0x5C is no separator, and the 255-character limit counts characters).
using LeadBytes = std::vector<std::pair<unsigned char, unsigned char>>;
[[nodiscard]] bool Read(Input& input, File* file, Error* error,
                        const LeadBytes& lead_bytes = {}, Filter* filter = nullptr);

// The same over the whole content of a file in memory, keeping every item.
[[nodiscard]] bool Parse(std::string_view content, File* file, Error* error,
                         const LeadBytes& lead_bytes = {});

// Writes items as a .reg file in the given version and encoding (kBytes
// files take units up to 0xFF only; kUtf16 files get the UTF-16LE mark):
// CR LF line ends, a blank line before every key, regedit's value forms,
// hex data wrapped as regedit wraps it.
std::string Write(Version version, Encoding encoding,
                  const std::vector<Item>& items);

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* RootName(Root root);

}  // namespace regfile
