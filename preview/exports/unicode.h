// Text between the forms the preview meets: UTF-8 (terminals, JSON, file
// names), UTF-16 (the NT registry, version-5 exports) and the ANSI bytes of
// a machine's code page.
#pragma once

#include <optional>
#include <string>

#include "preview/exports/code_page.h"

namespace preview {

// A lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& units);
// UTF-8 as UTF-16; nullopt for bytes that are no UTF-8.
std::optional<std::u16string> Utf16FromUtf8(const std::string& text);
// Text of the program (ANSI) in UTF-8.
std::string Utf8FromAnsi(const std::string& ansi, const CodePage& code_page);

}  // namespace preview
