// Registry names and values as a plan shows them: UTF-8 for the terminal
// and JSON, values in regedit's notation.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_platform.h"
#include "preview/exports/code_page.h"

namespace preview {

// A-Z onto a-z, nothing else: how file names and the client's key names are
// told apart.
std::string AsciiLower(std::string text);

std::string Utf8(const std::u16string& units);
// UTF-8 as UTF-16; nullopt for bytes that are no UTF-8.
std::optional<std::u16string> Utf16FromUtf8(const std::string& text);
// Text of the program (ANSI) in UTF-8.
std::string Utf8FromAnsi(const std::string& ansi, const CodePage& code_page);
// A stored name in UTF-8.
std::string StoredUtf8(const std::u16string& stored, const CodePage& code_page);

// "REG_SZ", "REG_DWORD", ..., "hex(N)" for a type without a name.
std::string TypeName(unsigned long type);
// The value in regedit's notation, as a REGEDIT4 file would hold it
// ("1" quoted, dword:0000000c, hex(2):41,00), in UTF-8; long hex cut short
// after max_bytes bytes (0: never).
std::string Notation(const memory::StoredValue& value, const CodePage& code_page,
                     size_t max_bytes = 0);
// Bytes as regedit's hex notation: "01,02,ff".
std::string HexBytes(const std::string& bytes);

}  // namespace preview
