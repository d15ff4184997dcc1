// Text between the forms the preview meets: UTF-8 (terminals, JSON, file
// names), UTF-16 (the NT registry, version-5 exports) and the ANSI bytes of
// a machine's code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "preview/exports/code_page.h"

namespace preview {

// One UTF-8 sequence. Well-formed means no overlong form, no surrogate,
// nothing past U+10FFFF.
struct Utf8Sequence {
  size_t length;   // 1 to 4; 0 for bytes that are no UTF-8
  char32_t point;  // when length is not 0
  bool cut;        // length 0 because text ends within a sequence so far well begun
};
// The sequence that starts at text[i] (i < text.size()).
Utf8Sequence NextUtf8(std::string_view text, size_t i);
// Appends one code point, as a surrogate pair past U+FFFF.
void AppendUtf16(char32_t point, std::u16string* units);

// A lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& units);
// UTF-8 as UTF-16; nullopt for bytes that are no UTF-8.
std::optional<std::u16string> Utf16FromUtf8(const std::string& text);
// Text of the program (ANSI) in UTF-8.
std::string Utf8FromAnsi(const std::string& ansi, const CodePage& code_page);

}  // namespace preview
