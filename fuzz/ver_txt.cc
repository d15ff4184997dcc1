// ver.txt on any bytes: VersionFromVer gives a version word GetVersion could
// give, or a non-empty reason in printable ASCII (it reaches terminals and
// CSV cells). The same text as bytes, as UTF-16LE with its mark and without
// ("cmd /u") reads the same, and a Ctrl-Z that "copy /a" appends changes
// nothing. Any broken rule traps.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "preview/exports/windows_version.h"

namespace {

[[noreturn]] void Violated(const char* what) {
  std::fprintf(stderr, "ver.txt rule broken: %s\n", what);
  __builtin_trap();
}

struct Outcome {
  std::optional<unsigned long> word;
  std::string error;
};

Outcome Read(const std::string& text) {
  Outcome out;
  out.word = preview::VersionFromVer(text, &out.error);
  if (out.word) {
    const unsigned long word = *out.word;
    const unsigned long major = word & 0xFF, minor = (word >> 8) & 0xFF;
    if (word > 0xFFFFFFFFUL) Violated("word wider than 32 bits");
    if (major < 4 || major > 10) Violated("major version outside 4 to 10");
    // The 9x family is 95 (4.0), 98 (4.10) and Me (4.90).
    if ((word & 0x80000000UL) != 0 &&
        (major != 4 || (minor != 0 && minor != 10 && minor != 90))) {
      Violated("a 9x word that is not 95, 98 or Me");
    }
    (void)preview::DescribeVersion(word);
    (void)preview::DefaultSystemDirectory(word);
    return out;
  }
  if (out.error.empty()) Violated("no version and no reason");
  for (unsigned char c : out.error) {
    if (c < 0x20 || c >= 0x7F) Violated("reason not printable ASCII");
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Outcome bytes = Read(text);

  // A UTF-16 file (its mark, or NULs that may pass for UTF-16 without it)
  // with an odd byte count is no real export: its last byte would pair
  // with an appended Ctrl-Z.
  const bool mark = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
  bool nul = false, unescaped = true;
  for (size_t i = 0; i < size; ++i) {
    nul = nul || data[i] == 0;
    unescaped = unescaped && data[i] < 0x7F;
  }
  if (size % 2 == 0 || !(mark || nul)) {
    const Outcome z = Read(text + '\x1A');
    if (z.word != bytes.word || z.error != bytes.error) Violated("a final Ctrl-Z changed the result");
  }

  // Bytes widened to UTF-16LE, with and without the mark: every unit is the
  // byte it came from. Without NULs the bytes cannot pass for UTF-16, and a
  // leading FF FE would be a mark.
  if (nul || mark) return 0;
  std::string wide;
  for (size_t i = 0; i < size; ++i) {
    wide.push_back(static_cast<char>(data[i]));
    wide.push_back('\0');
  }
  for (const std::string& form : {"\xFF\xFE" + wide, wide}) {
    if (form.empty()) continue;
    const Outcome w = Read(form);
    if (w.word != bytes.word) Violated("bytes and UTF-16LE name different versions");
    // DEL and non-ASCII show as \xNN from bytes and \uNNNN from UTF-16.
    if (unescaped && w.error != bytes.error) Violated("bytes and UTF-16LE give different reasons");
  }
  return 0;
}
